// The show: one window, one track, twelve scenes. Without arguments it plays the show on the whole screen.
#include <cstdio>

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
// The page's choice of the gentle mode, made on the start card after the first frame is drawn.
MainWindow* theShow = nullptr;
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
    MainWindow window(audio::SystemAudio(), options);
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
