#include "demo/main_window.h"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "audio/levels.h"
#include "platform/gl.h"
#include "scenes/scene_schedule.h"
#include "scenes/show_frame.h"

float SpectrumBuffer[1024];

namespace {

// The time a frame may take: one interval of a 60 Hz display.
constexpr double kFrameBudget = 1.0 / 60.0;

// The music time of the benchmarks' tour `elapsed` seconds after its start: each slot of `schedule` (and the
// one after the last) in turn for `slotSeconds` from its start; negative once the tour is over.
double TourTime(const Schedule& schedule, double elapsed, double slotSeconds) {
    const auto slot = static_cast<size_t>(elapsed / slotSeconds);
    if (slot > schedule.rows.size()) return -1.0;
    const double start = slot == 0 ? 0.0 : schedule.rows[slot - 1].threshold;
    return start + std::fmod(elapsed, slotSeconds);
}

// The scene fields by SceneId, in the order the scenes are built.
#define TESSELUNE_SCENE_FIELD(Name, field, kind) &MainWindow::field,
constexpr SceneBase* MainWindow::*kSceneFields[] = {TESSELUNE_SCENES(TESSELUNE_SCENE_FIELD)};
#undef TESSELUNE_SCENE_FIELD

}  // namespace

MainWindow::MainWindow(audio::AudioLibrary& audio, const ShowOptions& options, std::unique_ptr<Studio> studio)
    : CoreWindow(options.window),
      audio_(audio),
      scale_(options.scale, kFrameBudget),
      studio_(std::move(studio)) {
    // Everything below draws: without a GL context there is no show (the window layer has said why).
    if (!HasContext()) std::exit(1);
    music = new Music(audio_, options.track.empty() ? FindTrack(GetExeDirectory()) : options.track);
    music->Load();
    if (music->ok) audio_.ChannelPlay(music->handle, false);
    if (studio_ && music->ok) studio_->Attach(audio_, music->handle);
    if (!options.scenesLater) {
        while (PrepareScene()) {
        }
    }
    if (scale_.Adaptive()) timer_ = std::make_unique<FrameTimer>();
    tourSeconds_ = options.tour;
    if (options.frameLog == "-")
        frameLog_ = stdout;  // the browser's console, where the program has no files
    else if (!options.frameLog.empty())
        frameLog_ = std::fopen(options.frameLog.c_str(), "w");
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, viewportWidth, viewportHeight);
    SetGentle(options.gentle);
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

SceneBase* MainWindow::SelectScene(double time) {
    return Scene(CurrentSchedule().SceneAt(time));
}

SceneBase* MainWindow::Scene(SceneId id) {
    SceneBase*& scene = this->*kSceneFields[static_cast<int>(id)];
    if (scene == nullptr) {
        scene = MakeScene(id).release();
        scene->width = 0.0f;
        scene->height = 0.0f;
        scene->Init();
    }
    return scene;
}

bool MainWindow::PrepareScene() {
    for (int id = 0; id < kSceneCount; ++id) {
        if (this->*kSceneFields[id] != nullptr) continue;
        Scene(static_cast<SceneId>(id));
        return true;
    }
    return false;
}

const Schedule& MainWindow::CurrentSchedule() const {
    return studio_ ? studio_->CurrentSchedule() : ShowSchedule();
}

void MainWindow::OnIdle() {
    if (IsShown()) return OnDraw();
    ReadMusic();
    WaitForMessage(kHiddenWaitMilliseconds);
}

void MainWindow::OnDraw() {
    if (studio_) {
        studio_->Poll([this](SceneId id) { return Scene(id); });
        studio_->BeforeFrame();
    }
    const double scale = scale_.Scale();
    if (timer_) timer_->Begin(scale);
    const FrameTarget::Size size = target_.Begin(viewportWidth, viewportHeight, scale);
    MusicReading music;
    SceneBase* scene = nullptr;
    const auto readMusic = [&] { return music = ReadMusic(); };
    const auto sceneAt = [&](double time) { return scene = SelectScene(time); };
    if (gentle_) {
        gentle_->Draw(size.width, size.height, readMusic, sceneAt);
    } else {
        DrawShowFrame(size.width, size.height, readMusic, sceneAt);
    }
    if (timer_) timer_->Split();
    target_.End();
    if (timer_) {
        // A scene's first frame also pays for the driver's preparing its program: its time tells nothing of
        // the next.
        timer_->End(scene == lastScene_);
        FrameTimer::Times times;
        while (timer_->Read(times)) scale_.Report(times.scale, times.sceneSeconds, times.passSeconds);
    }
    lastScene_ = scene;
    if (studio_) studio_->AfterFrame(music, viewportWidth, viewportHeight);
    SwapFrame();
    if (frameLog_ != nullptr) std::fprintf(frameLog_, "%.6f %.6f %.4f\n", Elapsed(), music.time, scale);
}

double MainWindow::Elapsed() {
    if (!started_) start_ = std::chrono::steady_clock::now();
    started_ = true;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
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
    if (tourSeconds_ > 0.0 && (now.time = TourTime(CurrentSchedule(), Elapsed(), tourSeconds_)) < 0.0)
        std::exit(0);
    return now;
}
