// The starting point of a new platform. To make one: copy this folder to platform/<name>, rename
// CoreWindow_template to CoreWindow_<name> and its header in CMakeLists.txt, fill in what each comment asks,
// write cmake/platform_<name>.cmake (the folders, the window and the sound it builds;
// cmake/platform_wgl.cmake is a short one) and add <name> to the platforms of TESSELUNE_PLATFORM in the
// top-level CMakeLists.txt. platform/platform.h lists everything a platform provides. As it stands this one
// opens nothing: its window gets no GL context, so the show reports that and ends with exit code 1.
#pragma once

#include "platform/window.h"
#include "platform/window_proc.h"

class CoreWindow_template : public CoreWindowHandlers {
public:
    // Opens the window with a GL context on it and makes the context current; becomes FirstWindow if there is
    // none; calls OnResize with the client size, as the routing does on WM_SIZE. A set-up that fails is
    // reported with ReportFailure and leaves HasContext() false.
    // `options` ask for a plain window of a given size instead of the maximised one, for full screen from the
    // start, and whether each swap waits for the display.
    explicit CoreWindow_template(const WindowOptions& options = {});

    void MakeCurrent() override {}   // makes this window's GL context current
    void Activate(bool) override {}  // brings the window forward with the keyboard, or lets it go
    void SwapFrame() override {}     // presents the frame drawn: swaps the buffers
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override { return ""; }  // the program's folder, with its separator

    bool HasContext() const { return false; }  // true once the window's GL context is current
    bool IsShown() const { return true; }      // false while the window is minimised or hidden
    void WaitForMessage(int) {}                // waits until a message arrives or the milliseconds pass

protected:
    int width = 0;  // the client size in pixels, written by the routing on WM_SIZE
    int height = 0;

private:
    template <class Window>
    friend Routed WindowProc(Window* window, const Message& m);
};

using CoreWindow = CoreWindow_template;
