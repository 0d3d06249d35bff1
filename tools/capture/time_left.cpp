#include "tools/capture/time_left.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "scenes/scene_schedule.h"

namespace {

// The piece of the show that holds `time`: its slot of the schedule (the row whose stretch holds it, or the
// number of rows after the last) and its bar.
std::pair<size_t, double> Piece(double time) {
    const std::vector<ScheduleRow>& rows = ShowSchedule().rows;
    const auto row =
        std::find_if(rows.begin(), rows.end(), [time](const ScheduleRow& r) { return time < r.threshold; });
    return {static_cast<size_t>(row - rows.begin()), std::floor(time / ShowSchedule().bar)};
}

// The drawing of the last this many seconds sets the pace.
constexpr double kRecentSeconds = 30.0;

}  // namespace

std::vector<double> ProbeFrameCosts(double from, int fps, int frames,
                                    const std::function<double(double)>& probe) {
    std::vector<double> costs(static_cast<size_t>(std::max(frames, 0)));
    const auto time = [&](size_t n) { return from + static_cast<double>(n) / fps; };
    for (size_t first = 0, end; first < costs.size(); first = end) {
        for (end = first + 1; end < costs.size() && Piece(time(end)) == Piece(time(first));) ++end;
        std::fill(costs.begin() + first, costs.begin() + end, probe(time((first + end - 1) / 2)));
    }
    return costs;
}

double TimeLeft::Seconds(double writeSeconds) const {
    const size_t done = std::min(drawn_.size(), costs_.size());
    // The recent frames took `scale` times what their probes said.
    double took = 0.0, probed = 0.0;
    for (size_t n = done; n > 0 && took < kRecentSeconds; --n) {
        took += drawn_[n - 1];
        probed += costs_[n - 1];
    }
    const double scale = probed > 0.0 ? took / probed : 1.0;
    double left = 0.0;
    for (size_t n = done; n < costs_.size(); ++n) left += std::max(costs_[n] * scale, writeSeconds);
    return left;
}
