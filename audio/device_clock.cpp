#include "audio/device_clock.h"

#include <algorithm>
#include <utility>

namespace audio {

DeviceClock::DeviceClock(Now now, int rate) : now_(std::move(now)), rate_(rate) {
    if (!now_) {
        now_ = [] { return std::chrono::steady_clock::now().time_since_epoch(); };
    }
}

void DeviceClock::Callback(int frames, int queued) {
    at_ = now_();
    // Before the device has played anything the anchor lies before the first frame, and the position stays 0.
    anchor_ = mixed_ - queued;
    period_ = frames;
    mixed_ += frames;
    anchored_ = true;
}

int64_t DeviceClock::Heard() {
    if (!anchored_) return 0;
    // Whole frames, exact in integers; a stall of more than an hour counts as an hour (it holds anyway).
    constexpr int64_t kHour = 3600'000'000'000;
    const int64_t elapsed = std::clamp<int64_t>((now_() - at_).count(), 0, kHour);
    const int64_t advanced = elapsed * rate_ / 1000000000;
    // Until the next callback the device plays at most the frames of one callback's worth.
    reported_ = std::max(reported_, std::min(anchor_ + advanced, anchor_ + period_));
    return reported_;
}

}  // namespace audio
