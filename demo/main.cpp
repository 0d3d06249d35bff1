// The show: one window, one track, twelve scenes. `--gentle` draws it in the gentle mode; `--studio [DIR]`
// runs it for its makers (demo/studio.h); every other argument is ignored.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/system_audio.h"
#include "demo/main_window.h"
#include "platform/standard_streams.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace {

bool Gentle(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--gentle") == 0) return true;
    }
    return false;
}

#ifdef __EMSCRIPTEN__
// The page's choice of the gentle mode, made on the start card after the first frame is drawn.
MainWindow* theShow = nullptr;
#else
// The studio that `--studio [DIR]` asks for (DIR: the source tree the program was built from), else null. A
// folder without shaders/ ends the process with exit code 2.
std::unique_ptr<Studio> StudioOf(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--studio") != 0) continue;
        const bool named = i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0;
        const std::filesystem::path dir = named ? std::filesystem::path(argv[i + 1]) : StudioSourceTree();
        std::error_code error;
        if (dir.empty() || !std::filesystem::is_directory(dir / "shaders", error)) {
            std::fprintf(stderr, "--studio: %s has no shaders folder\n",
                         dir.empty() ? "the source tree" : dir.string().c_str());
            std::exit(2);
        }
        return OpenStudio(dir);
    }
    return nullptr;
}
#endif

int RunShow(bool gentle, std::unique_ptr<Studio> studio) {
    MainWindow window(audio::SystemAudio(), gentle, std::move(studio));
#ifdef __EMSCRIPTEN__
    theShow = &window;
#endif
    RunMessageLoop();
    return 0;
}

}  // namespace

#ifdef __EMSCRIPTEN__
extern "C" EMSCRIPTEN_KEEPALIVE void tesselune_gentle(int gentle) {
    if (theShow != nullptr) theShow->SetGentle(gentle != 0);
}
#endif

#ifdef _WIN32
// The Windows GUI entry point: the arguments are the C run-time's.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunShow(Gentle(__argc, __argv), StudioOf(__argc, __argv));
}
#else
int main(int argc, char** argv) {
    OpenStandardStreams();
#ifdef __EMSCRIPTEN__
    return RunShow(Gentle(argc, argv), nullptr);
#else
    return RunShow(Gentle(argc, argv), StudioOf(argc, argv));
#endif
}
#endif
