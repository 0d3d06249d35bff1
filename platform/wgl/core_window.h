// The window on Win32, GDI and WGL: a maximised pop-up window (or a plain one of a given size) with an OpenGL
// context on its own device context, driven by the Win32 message queue. F11 and Alt+Enter toggle full screen
// over the whole monitor, where the pointer hides until it moves.
#pragma once

#include "platform/window.h"
#include "platform/window_proc.h"  // brings <windows.h> through platform/gl.h

class CoreWindow_wgl : public CoreWindowHandlers {
public:
    // Opens the window, sets up its GL context and shows it. A window that cannot be created ends the
    // process; a context that cannot be set up leaves HasContext() false, the failure reported.
    explicit CoreWindow_wgl(const WindowOptions& options = {});

    void MakeCurrent() override;
    void Activate(bool activate) override;
    void SwapFrame() override;
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override;

    bool HasContext() const { return hglrc != nullptr; }
    // False while the window is minimised or hidden.
    bool IsShown() const;
    // Waits until a message arrives or `milliseconds` have passed.
    void WaitForMessage(int milliseconds);
    void ToggleFullScreen();
    // The pointer moved to `position` (a WM_MOUSEMOVE lParam): shown again if it did move.
    void PointerMoved(LPARAM position);
    // Whether the pointer is hidden over the client area now.
    bool PointerHidden() const { return pointerHidden_; }

protected:
    HWND hwnd = nullptr;    // null before creation and after a teardown
    HGLRC hglrc = nullptr;  // null until the context is created, and after a teardown
    HDC hdc = nullptr;      // the window's device context; keeps its stale value after a teardown
    int width = 0;          // client size in pixels, set at construction and on every resize
    int height = 0;

private:
    bool fullScreen_ = false;
    LONG styleBeforeFullScreen_ = 0;
    WINDOWPLACEMENT placementBeforeFullScreen_{};
    bool pointerHidden_ = false;
    LPARAM pointerPosition_ = -1;
    ULONGLONG pointerMoved_ = 0;  // GetTickCount64() when the pointer last moved

    template <class Window>
    friend Routed WindowProc(Window* window, const Message& m);

    void OpenWindow(const WindowOptions& options);
    bool SetupGL(HWND window, bool vsync);
    void TearDownWindow();
};

// The window procedure of the class "CoreWindow_wgl": finds the object under the window's property and routes
// the message through the shared table; what the table leaves to the default goes to DefWindowProcA.
LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the directory part of the file path `path` into `directory` (`size` bytes, truncated to fit): what
// precedes the file name, with its trailing separator and without a drive designator. Returns `directory`.
const char* ExeDirectoryOf(const char* path, char* directory, size_t size);

using CoreWindow = CoreWindow_wgl;
