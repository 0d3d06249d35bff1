#include "demo/main_window.h"

#include <cstdlib>

#include "audio/levels.h"
#include "platform/gl.h"
#include "scenes/scene_schedule.h"
#include "scenes/show_frame.h"

float SpectrumBuffer[1024];

namespace {

// The scene fields by SceneId, in the order the scenes are built.
#define TESSELUNE_SCENE_FIELD(Name, field, kind) &MainWindow::field,
constexpr SceneBase* MainWindow::*kSceneFields[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_FIELD)};
#undef TESSELUNE_SCENE_FIELD

template <class Scene>
SceneBase* BuildScene(SceneBase*& field) {
    field = new Scene;
    field->width = 0.0f;
    field->height = 0.0f;
    field->Init();
    return field;
}

}  // namespace

MainWindow::MainWindow(audio::AudioLibrary& audio, bool gentle) : audio_(audio) {
    // Everything below draws: without a GL context there is no show (the window layer has said why).
    if (!HasContext()) std::exit(1);
    music = new Music(audio_, FindTrack(GetExeDirectory()));
    music->Load();
    if (music->ok) audio_.ChannelPlay(music->handle, false);
#define TESSELUNE_BUILD_SCENE(Name, field, kind) BuildScene<Name>(field);
    TESSELUNE_SCENES(TESSELUNE_BUILD_SCENE)
#undef TESSELUNE_BUILD_SCENE
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, viewportWidth, viewportHeight);
    SetGentle(gentle);
    OnDraw();
}

void MainWindow::SetGentle(bool gentle) {
    if (gentle == (gentle_ != nullptr)) return;
    // Asked for, the gentle mode is never left out: without what it needs the show does not start.
    if (const char* missing = gentle ? GentleFrame::MissingFunction() : nullptr) {
        ReportFailure("The gentle mode needs OpenGL framebuffers, which this driver lacks.", missing);
        std::exit(1);
    }
    gentle_ = gentle ? std::make_unique<GentleFrame>() : nullptr;
}

MainWindow::~MainWindow() {
    if (music == nullptr) return;
    audio_.Free();
    delete music;
}

void MainWindow::OnKeyDown(int key) {
    if (key == VK_ESCAPE) std::exit(0);
}

void MainWindow::OnResize(int width, int height) {
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    OnDraw();
}

SceneBase* MainWindow::SelectScene(double time) const {
    return this->*kSceneFields[static_cast<int>(ScheduledScene(time))];
}

void MainWindow::OnDraw() {
    const auto readMusic = [this] { return ReadMusic(); };
    const auto sceneAt = [this](double time) { return SelectScene(time); };
    if (gentle_) {
        gentle_->Draw(viewportWidth, viewportHeight, readMusic, sceneAt);
    } else {
        DrawShowFrame(viewportWidth, viewportHeight, readMusic, sceneAt);
    }
    SwapFrame();
}

MusicReading MainWindow::ReadMusic() {
    MusicReading now;
    audio_.ChannelGetData(music->handle, SpectrumBuffer, audio::kDataFFT2048);
    audio::SpectrumLevels(SpectrumBuffer, now.levels.data());
    if (music->ok) {
        now.time = audio_.ChannelBytes2Seconds(music->handle,
                                               audio_.ChannelGetPosition(music->handle, audio::kPosByte));
        if (now.time > kShowEnd) std::exit(0);  // the run-time's normal exit; this frame is not drawn
    }
    return now;
}
