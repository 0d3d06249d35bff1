// The window procedure's routing table, written once for every platform: which message reaches which handler,
// in which order relative to the stored client size, and which messages are swallowed.
#pragma once

#include "platform/gl.h"
#include "platform/messages.h"

enum class Routed {
    Default,  // the platform's default handling follows
    Handled,  // swallowed: the result is 0
};

// `window` is the object the window property names, null for messages that arrive before the property is
// attached. Window is a CoreWindowPlatform with the int fields `width` and `height` of its client size.
template <class Window>
Routed WindowProc(Window* window, const Message& m) {
    if (window == nullptr) return Routed::Default;
    const int x = SignedLowWord(m.lParam);
    const int y = SignedHighWord(m.lParam);
    switch (m.message) {
        case WM_SIZE:
            window->width = LowWord(m.lParam);
            window->height = HighWord(m.lParam);
            glViewport(0, 0, window->width, window->height);
            glLoadIdentity();
            window->OnResize(window->width, window->height);
            return Routed::Default;
        case WM_PAINT:
            window->OnDraw();
            return Routed::Default;
        case WM_CLOSE:
            platform::PostQuit(0);  // the window itself lives on until the process ends
            return Routed::Handled;
        case WM_DESTROY:
        case WM_ACTIVATE:
        case WM_ERASEBKGND:  // the background is never erased between frames
            return Routed::Handled;
        case WM_KEYDOWN:
            window->OnKeyDown(static_cast<int>(m.wParam));
            return Routed::Default;
        case WM_KEYUP:
            window->OnKeyUp(static_cast<int>(m.wParam));
            return Routed::Default;
        case WM_SYSCOMMAND:
            // The screen saver and monitor power-down are refused; only these exact values, not masked.
            return m.wParam == SC_SCREENSAVE || m.wParam == SC_MONITORPOWER ? Routed::Handled
                                                                            : Routed::Default;
        case WM_MOUSEMOVE:
            window->OnMouseMove(x, y);
            return Routed::Default;
        case WM_LBUTTONDOWN:
            window->OnLButtonDown(x, y);
            return Routed::Default;
        case WM_LBUTTONUP:
            window->OnLButtonUp(x, y);
            return Routed::Default;
        case WM_RBUTTONDOWN:
            window->OnRButtonDown(x, y);
            return Routed::Default;
        case WM_RBUTTONUP:
            window->OnRButtonUp(x, y);
            return Routed::Default;
        case WM_MBUTTONDOWN:
            window->OnMButtonDown(x, y);
            return Routed::Default;
        case WM_MBUTTONUP:
            window->OnMButtonUp(x, y);
            return Routed::Default;
        default:
            return Routed::Default;
    }
}
