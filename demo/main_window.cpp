#include "demo/main_window.h"

#include <cstdlib>

#include "audio/levels.h"
#include "platform/gl.h"
#include "scenes/scene_schedule.h"

float SpectrumBuffer[1024];

namespace {

// The scene fields by SceneId, in the order the scenes are built.
constexpr SceneBase* MainWindow::*kSceneFields[kSceneCount] = {
    &MainWindow::sceneb,   &MainWindow::scenew, &MainWindow::scene0, &MainWindow::scene1,
    &MainWindow::scene2,   &MainWindow::scene3, &MainWindow::scene4, &MainWindow::scene5,
    &MainWindow::scene5_1, &MainWindow::scene6, &MainWindow::scene7, &MainWindow::scene8,
};

template <class Scene>
SceneBase* BuildScene(SceneBase*& field) {
    field = new Scene;
    field->width = 0.0f;
    field->height = 0.0f;
    field->Init();
    return field;
}

}  // namespace

MainWindow::MainWindow(audio::AudioLibrary& audio) : audio_(audio) {
    // Everything below draws: without a GL context there is no show (the window layer has said why).
    if (!HasContext()) std::exit(1);
    music = new Music(audio_);
    music->Load();
    if (music->ok) audio_.ChannelPlay(music->handle, false);
    BuildScene<Sceneb>(sceneb);
    BuildScene<Scenew>(scenew);
    BuildScene<Scene0>(scene0);
    BuildScene<Scene1>(scene1);
    BuildScene<Scene2>(scene2);
    BuildScene<Scene3>(scene3);
    BuildScene<Scene4>(scene4);
    BuildScene<Scene5>(scene5);
    BuildScene<Scene5_1>(scene5_1);
    BuildScene<Scene6>(scene6);
    BuildScene<Scene7>(scene7);
    BuildScene<Scene8>(scene8);
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, viewportWidth, viewportHeight);
    OnDraw();
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
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    audio_.ChannelGetData(music->handle, SpectrumBuffer, audio::kDataFFT2048);
    float levels[3];
    audio::SpectrumLevels(SpectrumBuffer, levels);
    double time = 0.0;
    if (music->ok) {
        time = audio_.ChannelBytes2Seconds(music->handle,
                                           audio_.ChannelGetPosition(music->handle, audio::kPosByte));
        if (time > kShowEnd) std::exit(0);  // the run-time's normal exit; this frame is not drawn
    }
    if (SceneBase* scene = SelectScene(time)) {
        scene->width = static_cast<float>(viewportWidth);
        scene->height = static_cast<float>(viewportHeight);
        scene->Render(time, levels);
    }
    SwapFrame();
}
