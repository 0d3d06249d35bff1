// What a platform provides, all in one place. A platform is a folder of platform/ (sdl, wgl, web, null; and
// template, the commented starting point of a new one) whose library the build picks with the CMake switch
// TESSELUNE_PLATFORM. It provides:
//
// 1. A window class, CoreWindow_<platform>, named CoreWindow by its header, which the library names in the
//    compile definition TESSELUNE_PLATFORM_WINDOW (platform/core_window.h includes it). The class:
//    - derives from CoreWindowHandlers (platform/window.h) and fills MakeCurrent, Activate, SwapFrame,
//      GetWidth, GetHeight and GetExeDirectory;
//    - opens the window in its constructor (taking a WindowOptions, platform/window.h, which it may leave
//      unread) with a current GL context, becomes FirstWindow if there is none,
//      and calls its own OnResize with the client size; a set-up that fails is reported (ReportFailure) and
//      leaves HasContext() false;
//    - tells whether the window can be seen (IsShown: not minimised or hidden) and waits for the next message
//      a while (WaitForMessage(milliseconds)), for a show that rests while it cannot be seen;
//    - keeps the client size in the int fields `width` and `height`, which the routing (WindowProc,
//      platform/window_proc.h, a friend) writes on WM_SIZE.
// 2. The functions declared below, each defined once by the platform; the message loop (RunMessageLoop,
//    platform/message_loop.cpp) is every platform's but the browser's, which has one of its own. A platform
//    whose system keeps no message queue for it uses the program's own (platform/message_queue.h), which
//    provides PollMessage and PostQuit.
#pragma once

#include <concepts>
#include <type_traits>

#include "platform/messages.h"

// The address of an OpenGL function of the current context, or null.
void* GetGLProcAddress(const char* name);

// The window layer's start-up failures: `text` shown in a warning message box captioned "ERROR" (where a
// display can show one), and written to standard error as one line, followed in brackets by the platform's
// own reason where it gave one (`reason` null or empty: none).
void ReportFailure(const char* text, const char* reason);

namespace platform {
// Takes the next message off the queue without waiting; false when the queue is empty.
bool PollMessage(Message& message);
// Hands a retrieved message to the window procedure of its window.
void Dispatch(const Message& message);
// Asks the message loop to end: posts the quit message to the queue.
void PostQuit(int exitCode);
}  // namespace platform

class CoreWindowHandlers;

// The window class as item 1 above describes it, as far as the compiler can tell.
template <class Window>
concept PlatformWindow = std::derived_from<Window, CoreWindowHandlers> && !std::is_abstract_v<Window> &&
                         std::default_initializable<Window> && requires(const Window& window) {
    { window.HasContext() } -> std::same_as<bool>;
    { window.IsShown() } -> std::same_as<bool>;
};
