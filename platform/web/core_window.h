// The window in a web browser: the page's canvas with a WebGL 2 context, events from the page's callbacks,
// and frames on the browser's animation frames.
#pragma once

#include <emscripten/html5.h>

#include "platform/window.h"
#include "platform/window_proc.h"

class CoreWindow_web : public CoreWindowHandlers {
public:
    // The page decides the canvas's size and full screen (F, a double-click); the browser paces the frames
    // and stops them in a hidden tab: `options` ask for nothing more here.
    explicit CoreWindow_web(const WindowOptions& options = {});

    void MakeCurrent() override;
    void Activate(bool activate) override;
    void SwapFrame() override {}  // the browser presents the canvas when the frame's callback returns
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override { return "/"; }  // the program's folder in its file system

    bool HasContext() const { return context != 0; }
    // A hidden tab gets no animation frames, so every frame that comes is seen.
    bool IsShown() const { return true; }
    void WaitForMessage(int) {}

protected:
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = 0;  // 0 when the browser gave no WebGL 2 context
    int width = 0;                                // drawing-buffer size in pixels, set at construction
    int height = 0;                               // and on every resize

private:
    template <class Window>
    friend Routed WindowProc(Window* window, const Message& m);

    bool SetupGL();
};

using CoreWindow = CoreWindow_web;
