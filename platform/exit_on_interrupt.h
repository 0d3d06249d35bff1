// Ends the process on an interrupt while the one thread of the program is held elsewhere, such as by a
// start-up failure's message box, so that unattended runs are never left waiting on it.
#pragma once

#ifndef _WIN32
#include <csignal>
#endif

// While one exists, SIGINT and SIGTERM (on Windows: a console's Ctrl-C, Ctrl-Break and close) end the process
// at once with exit code 1. A signal its starter ignores stays ignored. The handlers before it come back when
// it goes.
class ExitOnInterrupt {
public:
    ExitOnInterrupt();
    ~ExitOnInterrupt();
    ExitOnInterrupt(const ExitOnInterrupt&) = delete;
    ExitOnInterrupt& operator=(const ExitOnInterrupt&) = delete;

private:
#ifndef _WIN32
    struct sigaction previous_[2];
#endif
};
