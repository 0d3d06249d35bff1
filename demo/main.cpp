// The show: one window, one track, twelve scenes. Without arguments it plays the show on the whole screen;
// `--studio [DIR]` runs it for its makers (demo/studio.h).
#include <cstdio>
#include <cstdlib>

#include "audio/system_audio.h"
#include "demo/main_window.h"
#include "demo/options.h"
#include "platform/standard_streams.h"
#include "tesselune_version.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

#ifdef __EMSCRIPTEN__
// The show the page talks to once its first frame is drawn: the scenes built while the start card waits, and
// the gentle mode chosen on it.
MainWindow* theShow = nullptr;
#else
// The studio that `--studio [DIR]` asks for (DIR: the source tree the program was built from), else null. A
// folder without shaders/ ends the process with exit code 2.
std::unique_ptr<Studio> StudioOf(const ShowOptions& options) {
    if (!options.studio) return nullptr;
    const std::filesystem::path dir =
        options.studioDir.empty() ? StudioSourceTree() : std::filesystem::path(options.studioDir);
    std::error_code error;
    if (dir.empty() || !std::filesystem::is_directory(dir / "shaders", error)) {
        std::fprintf(stderr, "--studio: %s has no shaders folder\n",
                     dir.empty() ? "the source tree" : dir.string().c_str());
        std::exit(2);
    }
    return OpenStudio(dir);
}
#endif

int RunShow(int argc, const char* const* argv) {
    ShowOptions options;
    std::string error;
    switch (ParseShowOptions(argc - 1, argv + 1, options, error)) {
        case ShowCommand::Help:
            std::fputs(ShowUsage().c_str(), stdout);
            return 0;
        case ShowCommand::Version:
            std::printf("tesselune %s\n", kTesseluneVersion);
            return 0;
        case ShowCommand::Wrong:
            std::fprintf(stderr, "tesselune: %s\n", error.c_str());
            return 2;
        case ShowCommand::Run:
            break;
    }
#ifdef __EMSCRIPTEN__
    options.scenesLater = true;
    MainWindow window(audio::SystemAudio(), options);
    theShow = &window;
#else
    MainWindow window(audio::SystemAudio(), options, StudioOf(options));
#endif
    RunMessageLoop();
    return 0;
}

}  // namespace

#ifdef __EMSCRIPTEN__
extern "C" EMSCRIPTEN_KEEPALIVE void tesselune_gentle(int gentle) {
    if (theShow != nullptr) theShow->SetGentle(gentle != 0);
}

// Builds one more scene; 0 once every one is built.
extern "C" EMSCRIPTEN_KEEPALIVE int tesselune_prepare() {
    return theShow != nullptr && theShow->PrepareScene() ? 1 : 0;
}
#endif

#ifdef _WIN32
// The Windows GUI entry point: the command line comes parsed by the C run-time, as main's would.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunShow(__argc, __argv);
}
#else
int main(int argc, char** argv) {
    OpenStandardStreams();
    return RunShow(argc, argv);
}
#endif
