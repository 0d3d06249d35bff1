#include "audio/system_audio.h"

#include "audio/windows/platform.h"

namespace audio {

Platform SystemPlatform() {
    return {MakeWinmmOutput(), OpenMediaFoundationStream, OpenModuleUnsupported, {}};
}

}  // namespace audio
