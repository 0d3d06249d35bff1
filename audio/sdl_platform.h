// The Linux platform of the audio library: SDL2 output, libsndfile streams and libopenmpt modules.
#pragma once

#include <memory>

#include "audio/platform.h"

namespace audio {

// The default SDL audio device at kDeviceRate, stereo float; only one is open at a time in the process.
// While one is open, an exit handler closes it, so that the audio thread has stopped before exit handlers
// and static destruction run.
std::unique_ptr<OutputDevice> MakeSdlOutput();

// Any format libsndfile reads (WAV, FLAC, Ogg Vorbis, MP3, ...), found from the content, as float frames.
DecodeResult DecodeStream(const char* path);
// A tracker module (MOD, XM, S3M, IT, ...) rendered once to stereo float at `rate`.
DecodeResult DecodeModule(const char* path, int rate);

Platform SdlPlatform();

}  // namespace audio
