// The frame the listener hears now, from the callbacks that feed the output device: at each callback the
// clock is anchored at the frames handed over before it less those the device still holds, and until the
// next callback it advances at the device rate by a monotonic clock, by at most that callback's frames. So it
// never passes the frames mixed and holds still while the device stalls; it never goes backwards.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace audio {

class DeviceClock {
public:
    using Now = std::function<std::chrono::nanoseconds()>;

    // `now` is the monotonic clock; the steady clock when empty. `rate` is the device's frames per second.
    DeviceClock(Now now, int rate);

    // A device callback is about to mix `frames` frames; `queued` of the frames handed over before are still
    // held by the device beyond the one being heard (negative: that many of these frames are heard already,
    // as where the browser plays the sound and the mix only keeps the count).
    void Callback(int frames, int queued);
    // The device frames heard by now, counted from the first frame ever mixed.
    int64_t Heard();
    // The device frames mixed so far.
    int64_t Mixed() const { return mixed_; }

private:
    Now now_;
    int rate_;
    int64_t mixed_ = 0;
    int64_t anchor_ = 0;  // heard at the last callback; negative until the device has played a frame
    int64_t period_ = 0;  // the frames of the last callback
    std::chrono::nanoseconds at_{0};
    bool anchored_ = false;
    int64_t reported_ = 0;  // the last answer of Heard
};

}  // namespace audio
