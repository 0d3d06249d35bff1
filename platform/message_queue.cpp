#include "platform/message_queue.h"

#include <deque>

namespace platform {
namespace {

std::deque<Message>& Queue() {
    static std::deque<Message> queue;
    return queue;
}

}  // namespace

void Post(const Message& message) {
    Queue().push_back(message);
}

bool PollMessage(Message& message) {
    if (Queue().empty()) return false;
    message = Queue().front();
    Queue().pop_front();
    return true;
}

void PostQuit(int exitCode) {
    Post(Message{nullptr, WM_QUIT, static_cast<uintptr_t>(exitCode), 0});
}

}  // namespace platform
