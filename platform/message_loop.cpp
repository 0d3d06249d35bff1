#include "platform/messages.h"
#include "platform/window.h"

CoreWindowPlatform* FirstWindow = nullptr;

void RunMessageLoop() {
    Message message;
    for (;;) {
        if (platform::PollMessage(message)) {
            if (message.message == WM_QUIT) return;
            platform::Dispatch(message);
        } else if (FirstWindow != nullptr) {
            FirstWindow->OnIdle();
        }
    }
}
