#include "audio/system_audio.h"

#include "audio/sdl/platform.h"

namespace audio {

Platform SystemPlatform() {
    return {MakeSdlOutput(), OpenStream, OpenModule, {}};
}

}  // namespace audio
