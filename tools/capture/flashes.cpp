#include "tools/capture/flashes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr int kTooManyTransitions = 7;  // in one second: more than three flashes

// 8-bit sRGB to linear light.
const std::array<float, 256>& Linear() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> values;
        for (int i = 0; i < 256; ++i) {
            const double c = i / 255.0;
            values[i] = static_cast<float>(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
        }
        return values;
    }();
    return table;
}

}  // namespace

FlashMeter::FlashMeter(int width, int height, int fps)
    : width_(width),
      height_(height),
      fps_(fps),
      regionWidth_(std::clamp(static_cast<int>(std::lround(width * 341.0 / 1024.0)), 1, width)),
      regionHeight_(std::clamp(static_cast<int>(std::lround(height * 256.0 / 768.0)), 1, height)),
      general_{0.1f, 0.8f, {}, {}, {}},
      red_{std::nextafter(20.0f, 21.0f), std::numeric_limits<float>::infinity(), {}, {}, {}},
      table_(static_cast<size_t>(width + 1) * (height + 1), 0) {
    const size_t pixels = static_cast<size_t>(width) * height;
    for (Measure* measure : {&general_, &red_}) {
        measure->tracks.resize(pixels);
        measure->history.assign(pixels * fps, 0);
        measure->counts.assign(pixels, 0);
    }
}

FlashReading FlashMeter::Add(const uint8_t* rgba) {
    const std::array<float, 256>& linear = Linear();
    const size_t pixels = static_cast<size_t>(width_) * height_;
    const bool first = frames_ == 0;
    for (size_t i = 0; i < pixels; ++i, rgba += 4) {
        const float r = linear[rgba[0]], g = linear[rgba[1]], b = linear[rgba[2]];
        const float luminance = 0.2126f * r + 0.7152f * g + 0.0722f * b;
        const float sum = r + g + b;
        const float red = sum > 0.0f && r >= 0.8f * sum ? 320.0f * std::max(r - g - b, 0.0f) : 0.0f;
        Count(general_, i, Step(general_.tracks[i], luminance, general_, first));
        Count(red_, i, Step(red_.tracks[i], red, red_, first));
    }
    ++frames_;
    FlashReading reading;
    Shares(general_, reading.generalFrame, reading.generalRegion);
    Shares(red_, reading.redFrame, reading.redRegion);
    return reading;
}

bool FlashMeter::Step(Track& track, float value, const Measure& measure, bool first) const {
    const auto transition = [&](float from) {
        return std::abs(value - from) >= measure.threshold && std::min(value, from) < measure.darkerBelow;
    };
    if (first) {
        track = Track{value, value, value, 0};
        return false;
    }
    if (track.direction == 0) {
        const int8_t direction = transition(track.low) && value > track.low     ? 1
                                 : transition(track.high) && value < track.high ? -1
                                                                                : 0;
        track.low = std::min(track.low, value);
        track.high = std::max(track.high, value);
        track.extreme = value;
        track.direction = direction;
        return direction != 0;
    }
    if ((value - track.extreme) * track.direction >= 0.0f) {
        track.extreme = value;  // further the same way
        return false;
    }
    if (!transition(track.extreme)) return false;
    track.direction = static_cast<int8_t>(-track.direction);
    track.extreme = value;
    return true;
}

void FlashMeter::Count(Measure& measure, size_t pixel, bool transition) {
    const size_t pixels = measure.counts.size();
    uint8_t& slot = measure.history[static_cast<size_t>(frames_ % fps_) * pixels + pixel];
    measure.counts[pixel] = static_cast<uint8_t>(measure.counts[pixel] - slot + transition);
    slot = transition;
}

void FlashMeter::Shares(const Measure& measure, double& frame, double& region) {
    const int stride = width_ + 1;
    int failing = 0;
    for (int y = 0; y < height_; ++y) {
        int row = 0;
        for (int x = 0; x < width_; ++x) {
            const int fails = measure.counts[static_cast<size_t>(y) * width_ + x] >= kTooManyTransitions;
            failing += fails;
            row += fails;
            table_[(y + 1) * stride + x + 1] = table_[y * stride + x + 1] + row;
        }
    }
    int worst = 0;
    for (int y = regionHeight_; y <= height_; ++y) {
        for (int x = regionWidth_; x <= width_; ++x) {
            const int y0 = y - regionHeight_, x0 = x - regionWidth_;
            worst = std::max(worst, table_[y * stride + x] - table_[y0 * stride + x] -
                                        table_[y * stride + x0] + table_[y0 * stride + x0]);
        }
    }
    frame = static_cast<double>(failing) / (static_cast<double>(width_) * height_);
    region = static_cast<double>(worst) / (regionWidth_ * regionHeight_);
}

void FlashReport::Add(double time, const char* scene, const FlashReading& reading) {
    if (static_cast<int>(recent_.size()) == fps_) recent_.erase(recent_.begin());
    recent_.emplace_back(time, scene);
    ++windows_;
    if (reading.generalFrame > worst_.generalFrame) {
        worstTime_ = time;
        worstScene_ = scene;
    }
    const auto keepWorst = [](FlashReading& worst, const FlashReading& r) {
        worst.generalFrame = std::max(worst.generalFrame, r.generalFrame);
        worst.generalRegion = std::max(worst.generalRegion, r.generalRegion);
        worst.redFrame = std::max(worst.redFrame, r.redFrame);
        worst.redRegion = std::max(worst.redRegion, r.redRegion);
    };
    keepWorst(worst_, reading);
    if (!reading.Fails()) {
        open_ = false;
        return;
    }
    ++failing_;
    frameFailing_ += reading.generalFrame >= kFlashingShare || reading.redFrame >= kFlashingShare;
    // A window that overlaps the last span's carries it on.
    if (!open_ && (spans_.empty() || recent_.front().first > spans_.back().to))
        spans_.push_back(Span{recent_.front().first, time, {}, {}});
    open_ = true;
    Span& span = spans_.back();
    span.to = time + 1.0 / fps_;
    for (const auto& [at, name] : recent_) {
        if (std::find(span.scenes.begin(), span.scenes.end(), name) == span.scenes.end())
            span.scenes.push_back(name);
    }
    keepWorst(span.worst, reading);
}

std::string FlashReport::Text() const {
    const auto percent = [](double share) {
        return std::to_string(static_cast<int>(std::lround(share * 100)));
    };
    std::string text;
    double seconds = 0.0;
    for (const Span& span : spans_) {
        char times[64];
        std::snprintf(times, sizeof times, "%.2f to %.2f s", span.from, span.to);
        std::string scenes;
        for (const char* scene : span.scenes) scenes += (scenes.empty() ? "" : ", ") + std::string(scene);
        text += std::string(times) + " (" + scenes + "): general flash over " +
                percent(span.worst.generalFrame) + " % of the frame, " + percent(span.worst.generalRegion) +
                " % of a region; red flash over " + percent(span.worst.redFrame) + " %, " +
                percent(span.worst.redRegion) + " %\n";
        seconds += span.to - span.from;
    }
    char where[80] = "";
    if (worst_.generalFrame > 0.0)
        std::snprintf(where, sizeof where, " (%.2f s, %s)", worstTime_, worstScene_);
    char worst[160];
    std::snprintf(worst, sizeof worst, "at most %s %% of the frame%s and %s %% of a region flash",
                  percent(worst_.generalFrame).c_str(), where, percent(worst_.generalRegion).c_str());
    char summary[320];
    std::snprintf(
        summary, sizeof summary,
        "%d of %d one-second windows fail (%d on the whole frame), %.1f s of the show in %zu spans; %s, "
        "red at most %s %% and %s %%\n",
        failing_, windows_, frameFailing_, seconds, spans_.size(), worst, percent(worst_.redFrame).c_str(),
        percent(worst_.redRegion).c_str());
    return text + summary;
}
