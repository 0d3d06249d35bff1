// The message queue of a platform whose system keeps none for the program (the browser, the null window):
// its events are posted here, and its PollMessage and PostQuit are this queue's. One queue, for the thread
// that runs the message loop.
#pragma once

#include "platform/platform.h"

namespace platform {
// Puts `message` at the end of the queue.
void Post(const Message& message);
}  // namespace platform
