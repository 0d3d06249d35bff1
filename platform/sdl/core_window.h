// The window on SDL2: a borderless window asked to be maximised, with an OpenGL compatibility context.
#pragma once

#include "platform/window.h"
#include "platform/window_proc.h"

struct SDL_Window;

class CoreWindow_sdl : public CoreWindowHandlers {
public:
    CoreWindow_sdl();

    void MakeCurrent() override;
    void Activate(bool activate) override;
    void SwapFrame() override;
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override;

    bool HasContext() const { return context != nullptr; }

protected:
    SDL_Window* window = nullptr;  // null before creation and after a teardown
    void* context = nullptr;       // the GL context; null until created, and after a teardown
    int width = 0;                 // client size in pixels, set at construction and on every resize
    int height = 0;

private:
    template <class Window>
    friend Routed WindowProc(Window* window, const Message& m);

    void OpenWindow();
    bool SetupGL();
    void TearDownWindow();
};

using CoreWindow = CoreWindow_sdl;
