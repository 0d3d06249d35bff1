#include "audio/system_audio.h"

#include "audio/library.h"

namespace audio {

AudioLibrary& SystemAudio() {
    static AudioLibrary* const library = new Library(SystemPlatform());
    return *library;
}

}  // namespace audio
