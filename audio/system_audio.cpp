#include "audio/system_audio.h"

#include "audio/library.h"
#include "audio/sdl_platform.h"

namespace audio {

Platform SdlPlatform() {
    return {MakeSdlOutput(), DecodeStream, DecodeModule};
}

AudioLibrary& SystemAudio() {
    static AudioLibrary* const library = new Library(SdlPlatform());
    return *library;
}

}  // namespace audio
