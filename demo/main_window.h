// The show: the window that owns the music and the twelve scenes and draws a frame whenever the message loop
// is idle (while the window can be seen), the window is resized or a paint is asked for. Each frame is drawn
// at the scale its controller chooses, scaled up over the window where that is below 1.
#pragma once

#include <chrono>
#include <cstdio>
#include <memory>

#include "audio/audio_library.h"
#include "demo/frame_scale.h"
#include "demo/music.h"
#include "demo/options.h"
#include "demo/studio.h"
#include "platform/core_window.h"
#include "scenes/frame_target.h"
#include "scenes/gentle_frame.h"
#include "scenes/scenes.h"
#include "scenes/show_frame.h"

// The FFT magnitudes of the playing audio, written by every frame's query; all zero at start, and kept as
// they were when the library writes nothing.
extern float SpectrumBuffer[1024];

class MainWindow final : public CoreWindow {
public:
    // Opens the window as `options` ask, starts the track on `audio`, builds every scene's program (only the
    // first frame's with `scenesLater`) and draws the first frame, in the gentle mode when the options say
    // so. With a `studio`, every frame first takes what it has read again, and the schedule is the studio's.
    explicit MainWindow(audio::AudioLibrary& audio, const ShowOptions& options = {},
                        std::unique_ptr<Studio> studio = nullptr);
    ~MainWindow() override;  // frees the audio library and the music record

    void OnKeyDown(int key) override;
    // The studio's: the pointer on its timeline.
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    void OnMouseMove(int x, int y) override;
    void OnResize(int width, int height) override;
    // Draws a frame; while the window cannot be seen, only follows the music (which may end the show) and
    // waits a little for the next message.
    void OnIdle() override;
    void OnDraw() override;

    // Draws the frames from now on in the gentle mode, or as the show is.
    void SetGentle(bool gentle);

    // The scene the schedule shows at `time`: one of the scene fields.
    SceneBase* SelectScene(double time);
    // The scene field of `id`, built first where it is not yet.
    SceneBase* Scene(SceneId id);
    // Builds the first scene of the list not built yet; false once every one is.
    bool PrepareScene();
    // The schedule in use: the show's, or the studio's.
    const Schedule& CurrentSchedule() const;
    // The studio's faults standing now; empty without a studio.
    std::string StudioErrors() const { return studio_ ? studio_->Errors() : std::string(); }

    int viewportWidth = 0;
    int viewportHeight = 0;
    Music* music = nullptr;
#define TESSELUNE_SCENE_FIELD(Name, field, kind) SceneBase* field = nullptr;
    TESSELUNE_SCENES(TESSELUNE_SCENE_FIELD)  // sceneb, scenew, scene0, ... scene8: one per scene
#undef TESSELUNE_SCENE_FIELD

private:
    // The frame's reading of the music: the spectrum query and its levels, then the music time; past the
    // show's end the process exits here.
    MusicReading ReadMusic();
    // Seconds since the first call.
    double Elapsed();

    audio::AudioLibrary& audio_;
    ScaleController scale_;
    FrameTarget target_;
    std::unique_ptr<FrameTimer> timer_;  // only where the scale follows the frames' times
    SceneBase* lastScene_ = nullptr;     // the scene of the frame before
    // The benchmarks' tour and frame log (ShowOptions); the clock starts at the first frame.
    double tourSeconds_ = 0.0;
    std::FILE* frameLog_ = nullptr;
    std::chrono::steady_clock::time_point start_;
    bool started_ = false;
    std::unique_ptr<GentleFrame> gentle_;  // in the gentle mode
    std::unique_ptr<Studio> studio_;
};
