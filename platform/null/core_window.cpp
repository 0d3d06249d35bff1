#include "platform/null/core_window.h"

#include <cstdlib>
#include <deque>

namespace {

// The thread's message queue, as a real platform keeps one per thread.
std::deque<Message>& Queue() {
    static std::deque<Message> queue;
    return queue;
}

}  // namespace

void ReportFailure(const char* text, const char* reason) {
    WriteFailure(text, reason);
}

namespace platform {

bool PollMessage(Message& message) {
    if (Queue().empty()) return false;
    message = Queue().front();
    Queue().pop_front();
    return true;
}

void Dispatch(const Message& message) {
    WindowProc(static_cast<CoreWindow_null*>(message.window), message);
}

void PostQuit(int exitCode) {
    Queue().push_back(Message{nullptr, WM_QUIT, static_cast<uintptr_t>(exitCode), 0});
}

}  // namespace platform

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
    Queue().push_back(Message{this, message, wParam, lParam});
}
