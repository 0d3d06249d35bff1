// The show: the window that owns the music and the twelve scenes and draws a frame whenever the message loop
// is idle, the window is resized or a paint is asked for.
#pragma once

#include "audio/audio_library.h"
#include "core_window.h"
#include "demo/music.h"
#include "scenes/scenes.h"

// The FFT magnitudes of the playing audio, written by every frame's query; all zero at start, and kept as
// they were when the library writes nothing.
extern float SpectrumBuffer[1024];

class MainWindow final : public CoreWindow {
public:
    // Opens the window, starts the track on `audio`, builds every scene's program and draws the first frame.
    explicit MainWindow(audio::AudioLibrary& audio);
    ~MainWindow() override;  // frees the audio library and the music record

    void OnKeyDown(int key) override;
    void OnResize(int width, int height) override;
    void OnIdle() override { OnDraw(); }
    void OnDraw() override;

    // The scene the schedule shows at `time`: one of the scene fields.
    SceneBase* SelectScene(double time) const;

    int viewportWidth = 0;
    int viewportHeight = 0;
    Music* music = nullptr;
    SceneBase* sceneb = nullptr;
    SceneBase* scenew = nullptr;
    SceneBase* scene0 = nullptr;
    SceneBase* scene1 = nullptr;
    SceneBase* scene2 = nullptr;
    SceneBase* scene3 = nullptr;
    SceneBase* scene4 = nullptr;
    SceneBase* scene5 = nullptr;
    SceneBase* scene5_1 = nullptr;
    SceneBase* scene6 = nullptr;
    SceneBase* scene7 = nullptr;
    SceneBase* scene8 = nullptr;

private:
    audio::AudioLibrary& audio_;
};
