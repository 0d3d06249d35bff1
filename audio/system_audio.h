// The process's audio library.
#pragma once

#include "audio/audio_library.h"

namespace audio {

// Created on the first call and never destroyed.
AudioLibrary& SystemAudio();

}  // namespace audio
