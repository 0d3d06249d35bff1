// tesselune-soundtrack OUTPUT.mp3: composes the show's track, "Glacierhorn", and writes it as MP3.
#include <cstdio>

#include "platform/standard_streams.h"
#include "tools/partial_file.h"
#include "tools/soundtrack/mix.h"
#include "tools/soundtrack/mp3.h"
#include "tools/soundtrack/score.h"

int main(int argc, char** argv) {
    OpenStandardStreams();
    RemovePartialFilesOnSignals();
    if (argc != 2) {
        std::fprintf(stderr, "usage: tesselune-soundtrack OUTPUT.mp3\n");
        return 2;
    }
    const std::string error = soundtrack::WriteMp3(argv[1], soundtrack::Render(soundtrack::Compose()).frames);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
