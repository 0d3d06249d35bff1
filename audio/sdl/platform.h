// The Linux platform of the audio library: SDL2 output, libsndfile streams and libopenmpt modules.
#pragma once

#include <memory>

#include "audio/platform.h"

namespace audio {

// The default SDL audio device at kDeviceRate, stereo float; only one is open at a time in the process.
// While one is open, an exit handler closes it, so that the audio thread has stopped before exit handlers
// and static destruction run. Each callback reports SDL's own buffer (the size of the one it fills, as asked)
// as still queued.
std::unique_ptr<OutputDevice> MakeSdlOutput();

// Any format libsndfile reads (WAV, FLAC, Ogg Vorbis, MP3, ...), found from the content, read as float
// frames. Only regular files are opened, without blocking; the reason names an empty file or one of no
// format it knows.
OpenResult OpenStream(const char* path);
// A tracker module (MOD, XM, S3M, IT, ...) rendered to stereo float at `rate`, played once; only regular
// files.
OpenResult OpenModule(const char* path, int rate);

// The same, decoded whole into memory (tools and tests).
DecodeResult DecodeStream(const char* path);
DecodeResult DecodeModule(const char* path, int rate);

}  // namespace audio
