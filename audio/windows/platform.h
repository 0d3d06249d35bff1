// The Windows platform of the audio library: wave-out output (winmm) and Media Foundation streams.
#pragma once

#include <memory>

#include "audio/platform.h"

namespace audio {

// The default wave-out device at kDeviceRate, stereo, fed by a thread of its own; only one is open at a time
// in the process. While one is open, an exit handler closes it, so that its thread has stopped before exit
// handlers and static destruction run.
std::unique_ptr<OutputDevice> MakeWinmmOutput();

// Any format Media Foundation's source reader opens (MP3, WAV, AAC, WMA, ...), found from the content
// whatever the file's name says, as float frames at the file's own rate. The reader that decodes the frames
// is made on the thread that reads them.
OpenResult OpenMediaFoundationStream(const char* path);
// Tracker modules have no decoder on Windows: always a failure, with the reason.
OpenResult OpenModuleUnsupported(const char* path, int rate);

// The same, decoded whole into memory (tests).
DecodeResult DecodeMediaFoundationStream(const char* path);
DecodeResult DecodeModuleUnsupported(const char* path, int rate);

}  // namespace audio
