#include "platform/template/core_window.h"

// Where the system keeps no message queue for the program, its event callbacks post to the program's own
// (platform::Post), which provides PollMessage and PostQuit. Where it keeps one (Win32, SDL), PollMessage
// takes the next event off it without waiting and turns it into a Message with the Win32 numbers and packing
// of platform/messages.h, and PostQuit posts the quit message there.
#include "platform/message_queue.h"

// The system's own look-up of GL functions: eglGetProcAddress, wglGetProcAddress, SDL_GL_GetProcAddress...
void* GetGLProcAddress(const char*) {
    return nullptr;
}

// Where the platform can show a box, the text in a warning box captioned "ERROR" first.
void ReportFailure(const char* text, const char* reason) {
    WriteFailure(text, reason);
}

// A message goes to the window procedure of its window: the shared routing, then whatever the system does by
// default with what the routing leaves to it.
void platform::Dispatch(const Message& message) {
    WindowProc(static_cast<CoreWindow_template*>(message.window), message);
}

CoreWindow_template::CoreWindow_template(const WindowOptions&) {
    ReportFailure("Can't Create A GL Rendering Context.", "this platform is a template and opens no window");
}
