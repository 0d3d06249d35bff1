// tesselune-soundtrack OUTPUT.mp3: composes the show's track, "Glacierhorn", and writes it as MP3.
#include <cstdio>
#include <string_view>

#include "platform/standard_streams.h"
#include "tesselune_version.h"
#include "tools/partial_file.h"
#include "tools/soundtrack/mix.h"
#include "tools/soundtrack/mp3.h"
#include "tools/soundtrack/score.h"

namespace {

constexpr char kUsage[] = "usage: tesselune-soundtrack OUTPUT.mp3\n";
constexpr char kAbout[] =
    "Composes the show's track, \"Glacierhorn\", and writes it as a 192 kbps MP3.\n"
    "--version: the generator's version.\n";

}  // namespace

int main(int argc, char** argv) {
    OpenStandardStreams();
    RemovePartialFilesOnSignals();
    const std::string_view argument = argc == 2 ? argv[1] : "";
    if (argument == "-h" || argument == "--help") {
        std::printf("%s%s%s\n", kUsage, kAbout, kPhotosensitivityWarning);
        return 0;
    }
    if (argument == "--version") {
        std::printf("tesselune-soundtrack %s\n", kTesseluneVersion);
        return 0;
    }
    if (argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (argument.starts_with('-')) {
        std::fprintf(stderr, "tesselune-soundtrack: unknown option '%s' (an output named so: ./%s)\n",
                     argv[1], argv[1]);
        return 2;
    }
    const std::string error = soundtrack::WriteMp3(argv[1], soundtrack::Render(soundtrack::Compose()).frames);
    if (!error.empty()) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    return 0;
}
