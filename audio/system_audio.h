// The process's audio library, on the platform's output device and decoders.
#pragma once

#include "audio/audio_library.h"
#include "audio/platform.h"

namespace audio {

// The platform's output device and decoders, from its folder (audio/sdl, audio/windows).
Platform SystemPlatform();

// The library on SystemPlatform(), created on the first call and never destroyed (the browser's is its own:
// audio/web).
AudioLibrary& SystemAudio();

}  // namespace audio
