#include <cstdio>

#include "platform/window.h"

void WriteFailure(const char* text, const char* reason) {
    if (reason != nullptr && *reason != '\0') {
        std::fprintf(stderr, "%s (%s)\n", text, reason);
    } else {
        std::fprintf(stderr, "%s\n", text);
    }
}
