// Test-only entry points of the browser tests' program, called from the page.
#include <emscripten.h>

#include <array>
#include <cmath>
#include <memory>

#include "audio/levels.h"
#include "audio/spectrum.h"
#include "audio/web/web_audio.h"
#include "demo/main_window.h"
#include "platform/gl.h"
#include "platform/window.h"
#include "scenes/scene_schedule.h"
#include "scenes/scenes.h"
#include "scenes/show_frame.h"

namespace {
constexpr audio::Handle kShowTrack = 1;  // the show's track is the first channel the library opens
}  // namespace

extern "C" {

// Draws the scene of class name `scene` as the show draws a frame, over a viewport of width x height, at
// `time` with the levels, and reads the frame into `rgba` (bottom row first), which holds width x height
// pixels; with a null `rgba` reads one pixel, which waits for the frame all the same. False, drawing
// nothing, for a name of no scene.
EMSCRIPTEN_KEEPALIVE bool tesselune_test_draw(const char* scene, double time, float low, float middle,
                                              float high, int width, int height, uint8_t* rgba) {
    static std::array<std::unique_ptr<SceneBase>, kSceneCount> scenes;  // each built when first drawn
    SceneId id;
    if (!FindScene(scene, id)) return false;
    std::unique_ptr<SceneBase>& built = scenes[static_cast<size_t>(id)];
    if (built == nullptr) {
        built = MakeScene(id);
        built->Init();
    }
    glViewport(0, 0, width, height);
    ClearFrame();
    DrawScene(*built, width, height, MusicReading{time, {low, middle, high}});
    uint8_t pixel[4];
    glReadPixels(0, 0, rgba ? width : 1, rgba ? height : 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba ? rgba : pixel);
    return true;
}

// Draws one frame of the show now, as its loop does (OnDraw of the main window), and reads it into `rgba`.
EMSCRIPTEN_KEEPALIVE void tesselune_test_show_frame(uint8_t* rgba) {
    CoreWindowPlatform* window = FirstWindow;
    window->OnDraw();
    glReadPixels(0, 0, window->GetWidth(), window->GetHeight(), GL_RGBA, GL_UNSIGNED_BYTE, rgba);
}

EMSCRIPTEN_KEEPALIVE void tesselune_test_seek(double seconds) {
    audio::BrowserAudio().SeekForward(seconds);
}

// The levels a frame of the show reads now.
EMSCRIPTEN_KEEPALIVE void tesselune_test_levels(float* levels) {
    float spectrum[audio::kSpectrumBins];
    audio::BrowserAudio().ChannelGetData(kShowTrack, spectrum, audio::kDataFFT2048);
    audio::SpectrumLevels(spectrum, levels);
}

// The frames of the track the show can play and read: up to the last frame heard before it ends, and one
// spectrum from there.
EMSCRIPTEN_KEEPALIVE double tesselune_test_show_frames() {
    return std::floor(ShowSchedule().end * audio::kDeviceRate) + 1 + audio::kFftSize;
}

// How many of the show's scenes are built.
EMSCRIPTEN_KEEPALIVE int tesselune_test_scenes_built() {
    const auto* show = static_cast<const MainWindow*>(FirstWindow);
    int built = 0;
#define TESSELUNE_COUNT_BUILT(Name, field, kind) built += show->field != nullptr ? 1 : 0;
    TESSELUNE_SCENES(TESSELUNE_COUNT_BUILT)
#undef TESSELUNE_COUNT_BUILT
    return built;
}

// The music time the show reads.
EMSCRIPTEN_KEEPALIVE double tesselune_test_music_time() {
    audio::WebAudio& audio = audio::BrowserAudio();
    return audio.ChannelBytes2Seconds(kShowTrack, audio.ChannelGetPosition(kShowTrack, audio::kPosByte));
}

}  // extern "C"
