#include <cstdio>

#include "platform/window.h"

std::string FailureLine(const char* text, const char* reason) {
    std::string line = text;
    if (reason != nullptr && *reason != '\0') line += std::string(" (") + reason + ")";
    return line;
}

void WriteFailure(const char* text, const char* reason) {
    std::fprintf(stderr, "%s\n", FailureLine(text, reason).c_str());
}
