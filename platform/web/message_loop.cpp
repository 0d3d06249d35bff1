// The message loop in a browser, which owns the thread: each animation frame dispatches the waiting messages
// and then calls FirstWindow's OnIdle once. The loop starts paused on the first frame, which the constructor
// of the window has drawn; the page resumes it when the viewer asks the show to start.
#include <emscripten.h>
#include <emscripten/eventloop.h>

#include <cstdlib>

#include "platform/messages.h"
#include "platform/window.h"

CoreWindowPlatform* FirstWindow = nullptr;

namespace {

void Frame() {
    Message message;
    while (platform::PollMessage(message)) {
        if (message.message == WM_QUIT) {
            emscripten_cancel_main_loop();
            std::exit(0);
        }
        platform::Dispatch(message);
    }
    if (FirstWindow != nullptr) FirstWindow->OnIdle();
}

}  // namespace

// Returns to the browser at once; the caller's locals stay alive, as the stack is not unwound.
void RunMessageLoop() {
    emscripten_set_main_loop(Frame, 0, 0);
    emscripten_pause_main_loop();
    EM_ASM({
        if (Module.showReady) Module.showReady();
    });
    emscripten_unwind_to_js_event_loop();
}
