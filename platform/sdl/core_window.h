// The window on SDL2: a borderless window asked to be maximised (or a plain one of a given size), with an
// OpenGL compatibility context. F11 and Alt+Enter toggle full screen at the desktop's own resolution, where
// the pointer hides until it moves.
#pragma once

#include <cstdint>

#include "platform/window.h"
#include "platform/window_proc.h"

struct SDL_Window;

class CoreWindow_sdl : public CoreWindowHandlers {
public:
    explicit CoreWindow_sdl(const WindowOptions& options = {});

    void MakeCurrent() override;
    void Activate(bool activate) override;
    void SwapFrame() override;
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override;

    bool HasContext() const { return context != nullptr; }
    // False while the window is minimised or hidden.
    bool IsShown() const;
    // The window was shown (or exposed, restored) or hidden (or minimised), as its events say.
    void SetShown(bool shown) { shown_ = shown; }
    // Waits until a message arrives or `milliseconds` have passed.
    void WaitForMessage(int milliseconds);
    void ToggleFullScreen();
    // The pointer moved: shown again, to hide once it has been still for a while in full screen.
    void PointerMoved();

protected:
    SDL_Window* window = nullptr;  // null before creation and after a teardown
    void* context = nullptr;       // the GL context; null until created, and after a teardown
    int width = 0;                 // client size in pixels, set at construction and on every resize
    int height = 0;

private:
    uint64_t pointerMoved_ = 0;  // SDL's milliseconds when the pointer last moved
    bool maximisedBeforeFullScreen_ = false;
    bool shown_ = true;

    template <class Window>
    friend Routed WindowProc(Window* window, const Message& m);

    void OpenWindow(const WindowOptions& options);
    bool SetupGL(bool vsync);
    void TearDownWindow();
};

using CoreWindow = CoreWindow_sdl;
