#include "platform/exit_on_interrupt.h"

#ifdef _WIN32
#include <windows.h>

namespace {

BOOL WINAPI ExitOnConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT || event == CTRL_CLOSE_EVENT) ExitProcess(1);
    return FALSE;  // the next handler's
}

}  // namespace

ExitOnInterrupt::ExitOnInterrupt() {
    SetConsoleCtrlHandler(ExitOnConsoleEvent, TRUE);
}

ExitOnInterrupt::~ExitOnInterrupt() {
    SetConsoleCtrlHandler(ExitOnConsoleEvent, FALSE);
}

#else
#include <pthread.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

void ExitOnSignal(int) {
    _exit(1);
}

// SDL shows its box from a process forked for it, which would outlive an ended process with the box still up.
void EndWithParent() {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

}  // namespace

ExitOnInterrupt::ExitOnInterrupt() {
    // Once asked for, for every later fork: the show forks for nothing else.
    static const bool forksEndWithParent = pthread_atfork(nullptr, nullptr, EndWithParent) == 0;
    (void)forksEndWithParent;
    struct sigaction action = {};
    action.sa_handler = ExitOnSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 2; ++i) {
        sigaction(kSignals[i], nullptr, &previous_[i]);
        if (previous_[i].sa_handler != SIG_IGN) sigaction(kSignals[i], &action, nullptr);
    }
}

ExitOnInterrupt::~ExitOnInterrupt() {
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

#endif
