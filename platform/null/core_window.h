// A window that shows nothing, for tests: its client is an offscreen framebuffer on a headless OpenGL context
// and its message queue is filled by the test.
#pragma once

#include <memory>

#include "platform/egl/headless_gl.h"
#include "platform/window.h"
#include "platform/window_proc.h"

class CoreWindow_null : public CoreWindowHandlers {
public:
    // The client is small so that Mesa's CPU renderer draws a frame quickly.
    static constexpr int kClientWidth = 160, kClientHeight = 90;

    explicit CoreWindow_null(const WindowOptions& options = {});

    void MakeCurrent() override {}
    void Activate(bool) override {}
    void SwapFrame() override { ++framesPresented; }
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override { return ""; }

    bool HasContext() const { return gl != nullptr; }
    // The last frame drawn, bottom row first, RGBA.
    std::vector<uint8_t> ReadFrame() const { return gl->ReadRGBA8(); }
    bool IsShown() const { return shown; }
    void WaitForMessage(int) { ++waits; }
    // Puts a message for this window on the queue.
    void Post(uint32_t message, uintptr_t wParam, intptr_t lParam);

    int framesPresented = 0;
    bool shown = true;  // false: as if minimised
    int waits = 0;      // the times the show waited for a message

protected:
    std::unique_ptr<HeadlessGL> gl;
    int width = 0;
    int height = 0;

private:
    template <class Window>
    friend Routed WindowProc(Window* window, const Message& m);
};

using CoreWindow = CoreWindow_null;
