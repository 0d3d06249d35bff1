#include "audio/system_audio.h"

#include "audio/library.h"
#include "audio/sdl/platform.h"

namespace audio {

Platform SdlPlatform() {
    return {MakeSdlOutput(), OpenStream, OpenModule, {}};
}

AudioLibrary& SystemAudio() {
    static AudioLibrary* const library = new Library(SdlPlatform());
    return *library;
}

}  // namespace audio
