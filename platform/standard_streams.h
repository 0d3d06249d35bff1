// Standard input, output and error for every program: started with one of them closed (`2>&-`), a program
// would hand that number to the first file or connection it opens, then write its lines into it.
#pragma once

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed. Called first in main.
inline void OpenStandardStreams() {
#ifdef __linux__
    for (int fd = 0; fd <= 2; ++fd) {
        // The lowest free number is the one opened: `fd` itself, as those below it are open.
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    }
#endif
}
