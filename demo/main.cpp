// The show: one window, one track, twelve scenes. Takes no command line.
#include "audio/system_audio.h"
#include "demo/main_window.h"

int main() {
    MainWindow window(audio::SystemAudio());
    RunMessageLoop();
    return 0;
}
