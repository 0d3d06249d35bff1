// The show: one window, one track, twelve scenes. Takes no command line.
#include "audio/system_audio.h"
#include "demo/main_window.h"
#include "platform/standard_streams.h"

namespace {

int RunShow() {
    MainWindow window(audio::SystemAudio());
    RunMessageLoop();
    return 0;
}

}  // namespace

#ifdef _WIN32
// The Windows GUI entry point; its arguments are not used.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunShow();
}
#else
int main() {
    OpenStandardStreams();
    return RunShow();
}
#endif
