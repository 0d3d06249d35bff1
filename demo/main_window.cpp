#include "demo/main_window.h"

#include <cstdlib>
#include <utility>

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

MainWindow::MainWindow(audio::AudioLibrary& audio, bool gentle, std::unique_ptr<Studio> studio)
    : audio_(audio), studio_(std::move(studio)) {
    // Everything below draws: without a GL context there is no show (the window layer has said why).
    if (!HasContext()) std::exit(1);
    music = new Music(audio_, FindTrack(GetExeDirectory()));
    music->Load();
    if (music->ok) audio_.ChannelPlay(music->handle, false);
    if (studio_ && music->ok) studio_->Attach(audio_, music->handle);
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
    if (studio_ && studio_->OnKey(key)) OnDraw();
}

void MainWindow::OnLButtonDown(int x, int y) {
    if (studio_) studio_->OnPointer(Studio::Pointer::kPress, x, y, viewportWidth, viewportHeight);
}

void MainWindow::OnLButtonUp(int x, int y) {
    if (studio_) studio_->OnPointer(Studio::Pointer::kRelease, x, y, viewportWidth, viewportHeight);
}

void MainWindow::OnMouseMove(int x, int y) {
    if (studio_) studio_->OnPointer(Studio::Pointer::kMove, x, y, viewportWidth, viewportHeight);
}

void MainWindow::OnResize(int width, int height) {
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    OnDraw();
}

SceneBase* MainWindow::SelectScene(double time) const {
    return Scene(CurrentSchedule().SceneAt(time));
}

SceneBase* MainWindow::Scene(SceneId id) const {
    return this->*kSceneFields[static_cast<int>(id)];
}

const Schedule& MainWindow::CurrentSchedule() const {
    return studio_ ? studio_->CurrentSchedule() : ShowSchedule();
}

void MainWindow::OnDraw() {
    if (studio_) {
        studio_->Poll([this](SceneId id) { return Scene(id); });
        studio_->BeforeFrame();
    }
    MusicReading music;
    const auto readMusic = [&] { return music = ReadMusic(); };
    const auto sceneAt = [this](double time) { return SelectScene(time); };
    if (gentle_) {
        gentle_->Draw(viewportWidth, viewportHeight, readMusic, sceneAt);
    } else {
        DrawShowFrame(viewportWidth, viewportHeight, readMusic, sceneAt);
    }
    if (studio_) studio_->AfterFrame(music, viewportWidth, viewportHeight);
    SwapFrame();
}

MusicReading MainWindow::ReadMusic() {
    MusicReading now;
    audio_.ChannelGetData(music->handle, SpectrumBuffer, audio::kDataFFT2048);
    audio::SpectrumLevels(SpectrumBuffer, now.levels.data());
    if (music->ok) {
        now.time = audio_.ChannelBytes2Seconds(music->handle,
                                               audio_.ChannelGetPosition(music->handle, audio::kPosByte));
        // The run-time's normal exit; this frame is not drawn. The studio pauses there instead.
        if (now.time > CurrentSchedule().end && !studio_) std::exit(0);
    }
    return now;
}
