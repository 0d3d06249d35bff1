// What a platform supplies to the library: an output device and the decoders.
#pragma once

#include <functional>
#include <memory>

#include "audio/decoded_track.h"

namespace audio {

// The default output device, playing interleaved stereo float at kDeviceRate.
class OutputDevice {
public:
    // Fills `stereo` with `frames` frames; called on the device's own thread.
    using Render = std::function<void(float* stereo, int frames)>;

    virtual ~OutputDevice() = default;
    // Opens the device and starts calling `render`; false when there is no device.
    virtual bool Open(Render render) = 0;
    // Stops the calls and closes the device; once it returns, `render` is not running and never runs again.
    virtual void Close() = 0;
};

// A sampled audio file (the format found from its content) to a track.
using StreamDecoder = std::function<DecodeResult(const char* path)>;
// A tracker module file to a stereo track rendered at `rate`, played once.
using ModuleDecoder = std::function<DecodeResult(const char* path, int rate)>;

struct Platform {
    std::unique_ptr<OutputDevice> output;
    StreamDecoder decodeStream;
    ModuleDecoder decodeModule;
};

}  // namespace audio
