#include "tools/capture/time_left.h"

#include <algorithm>
#include <iterator>

#include "scenes/scene_schedule.h"

namespace {

// The row of the schedule whose stretch holds `time`, or the number of rows after the last.
size_t Slot(double time) {
    const auto row = std::find_if(std::begin(SceneSchedule), std::end(SceneSchedule),
                                  [time](const ScheduleRow& r) { return time < r.threshold; });
    return static_cast<size_t>(row - std::begin(SceneSchedule));
}

}  // namespace

std::vector<double> ProbeFrameCosts(double from, int fps, int frames,
                                    const std::function<double(double)>& probe) {
    std::vector<double> costs(static_cast<size_t>(std::max(frames, 0)));
    size_t slot = static_cast<size_t>(-1);
    double cost = 0.0;
    for (size_t n = 0; n < costs.size(); ++n) {
        const double time = from + static_cast<double>(n) / fps;
        if (Slot(time) != slot) {
            slot = Slot(time);
            cost = probe(time);
        }
        costs[n] = cost;
    }
    return costs;
}

TimeLeft::TimeLeft(std::vector<double> costs) : costs_(std::move(costs)), drawn_(costs_.size() + 1, 0.0) {
    for (size_t n = 0; n < costs_.size(); ++n) drawn_[n + 1] = drawn_[n] + costs_[n];
}

double TimeLeft::Seconds(int done, double drawSeconds, double writeSeconds) const {
    const size_t first = std::min(static_cast<size_t>(std::max(done, 0)), costs_.size());
    // Drawing took `scale` times what the probes said (a probe at the same time of a slot would say 1).
    const double scale = drawn_[first] > 0.0 ? drawSeconds / drawn_[first] : 1.0;
    double left = 0.0;
    for (size_t n = first; n < costs_.size(); ++n) left += std::max(costs_[n] * scale, writeSeconds);
    return left;
}
