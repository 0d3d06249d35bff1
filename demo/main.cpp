// The show: one window, one track, twelve scenes. `--gentle` draws it in the gentle mode; every other
// argument is ignored.
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
#endif

int RunShow(bool gentle) {
    MainWindow window(audio::SystemAudio(), gentle);
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
    return RunShow(Gentle(__argc, __argv));
}
#else
int main(int argc, char** argv) {
    OpenStandardStreams();
    return RunShow(Gentle(argc, argv));
}
#endif
