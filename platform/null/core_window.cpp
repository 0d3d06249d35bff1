#include "platform/null/core_window.h"

#include "platform/message_queue.h"

void ReportFailure(const char* text, const char* reason) {
    WriteFailure(text, reason);
}

void platform::Dispatch(const Message& message) {
    WindowProc(static_cast<CoreWindow_null*>(message.window), message);
}

CoreWindow_null::CoreWindow_null(const WindowOptions&) {
    std::string error;
    gl = HeadlessGL::Create(kClientWidth, kClientHeight, HeadlessGL::Format::RGBA8, error);
    if (gl == nullptr) {
        ReportFailure("Can't Create A GL Rendering Context.", error.c_str());
        return;
    }
    if (FirstWindow == nullptr) FirstWindow = this;
    width = gl->Width();
    height = gl->Height();
    glViewport(0, 0, width, height);
    glLoadIdentity();
    CoreWindow_null::OnResize(width, height);
}

void CoreWindow_null::Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    platform::Post(Message{this, message, wParam, lParam});
}
