// What a platform supplies to the library: an output device and the decoders.
#pragma once

#include <functional>
#include <memory>

#include "audio/decoder.h"
#include "audio/device_clock.h"

namespace audio {

// The default output device, playing interleaved stereo float at kDeviceRate.
class OutputDevice {
public:
    // Fills `stereo` with `frames` frames; called on the device's own thread. `queued` is how many of the
    // frames rendered before the device still holds beyond the one being heard now, so that the library can
    // tell the frame being heard. A device that plays the channels' tracks itself (the browser's) passes a
    // null `stereo`: the frames are counted as played, and nothing is mixed.
    using Render = std::function<void(float* stereo, int frames, int queued)>;

    virtual ~OutputDevice() = default;
    // Opens the device and starts calling `render`; false when there is no device.
    virtual bool Open(Render render) = 0;
    // Stops the calls and closes the device; once it returns, `render` is not running and never runs again.
    virtual void Close() = 0;
};

// A sampled audio file (the format found from its content), opened at its first frame.
using StreamDecoder = std::function<OpenResult(const char* path)>;
// A tracker module file, opened to render in stereo at `rate`, played once.
using ModuleDecoder = std::function<OpenResult(const char* path, int rate)>;

struct Platform {
    std::unique_ptr<OutputDevice> output;
    StreamDecoder decodeStream;
    ModuleDecoder decodeModule;
    // The monotonic clock the heard position advances by between device callbacks; steady when empty.
    DeviceClock::Now now;
};

}  // namespace audio
