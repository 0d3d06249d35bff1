// The show: one window, one track, twelve scenes. `--studio [DIR]` runs it for its makers (demo/studio.h);
// the show itself takes no command line.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/system_audio.h"
#include "demo/main_window.h"
#include "platform/standard_streams.h"

namespace {

#ifndef __EMSCRIPTEN__
// The studio that `--studio [DIR]` asks for (DIR: the source tree the program was built from), else null. A
// folder without shaders/ ends the process with exit code 2.
std::unique_ptr<Studio> StudioOf(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) != "--studio") return nullptr;
    const std::filesystem::path dir = argc > 2 ? std::filesystem::path(argv[2]) : StudioSourceTree();
    std::error_code error;
    if (dir.empty() || !std::filesystem::is_directory(dir / "shaders", error)) {
        std::fprintf(stderr, "--studio: %s has no shaders folder\n",
                     dir.empty() ? "the source tree" : dir.string().c_str());
        std::exit(2);
    }
    return OpenStudio(dir);
}
#endif

int RunShow(std::unique_ptr<Studio> studio) {
    MainWindow window(audio::SystemAudio(), std::move(studio));
    RunMessageLoop();
    return 0;
}

}  // namespace

#ifdef _WIN32
// The Windows GUI entry point; the command line comes from the run-time's copy of it.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunShow(StudioOf(__argc, __argv));
}
#elif defined(__EMSCRIPTEN__)
int main() {
    return RunShow(nullptr);
}
#else
int main(int argc, char** argv) {
    OpenStandardStreams();
    return RunShow(StudioOf(argc, argv));
}
#endif
