#include "audio/system_audio.h"

#include "audio/library.h"
#include "audio/windows/platform.h"

namespace audio {

Platform WindowsPlatform() {
    return {MakeWinmmOutput(), OpenMediaFoundationStream, OpenModuleUnsupported, {}};
}

AudioLibrary& SystemAudio() {
    static AudioLibrary* const library = new Library(WindowsPlatform());
    return *library;
}

}  // namespace audio
