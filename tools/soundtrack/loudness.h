// Loudness as broadcast and streaming services measure it (ITU-R BS.1770): both channels through the K filter
// (a high shelf of +4 dB above 1.7 kHz and a high-pass at 38 Hz), mean squares over 100 ms steps, gated
// blocks of 400 ms for the whole piece and windows of 3 s for its stretches.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <vector>

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

class Loudness {
public:
    static constexpr int64_t kStepFrames = kRate / 10;

    // From interleaved stereo frames at kRate.
    explicit Loudness(std::span<const float> interleaved) {
        Biquad shelf[2] = {Shelf(), Shelf()}, highPass[2] = {HighPass(), HighPass()};
        const size_t frames = interleaved.size() / 2;
        double sum = 0.0;
        for (size_t n = 0; n < frames; ++n) {
            for (int c = 0; c < 2; ++c) {
                const double k = highPass[c].Process(shelf[c].Process(interleaved[2 * n + c]));
                sum += k * k;
            }
            if ((n + 1) % kStepFrames == 0) {
                steps_.push_back(sum / kStepFrames);
                sum = 0.0;
            }
        }
    }

    // The integrated loudness in LUFS: blocks under -70 LUFS, then those 10 LU under the mean of the rest,
    // left out.
    double Integrated() const {
        std::vector<double> blocks;
        for (size_t at = 0; at + 4 <= steps_.size(); ++at) blocks.push_back(Mean(at, 4));
        const double absolute = Mean(blocks, Power(-70.0));
        return Lufs(Mean(blocks, std::max(Power(-70.0), absolute * Power(-10.0))));
    }

    // The short-term loudness of the 3 s ending `seconds` into the piece, in LUFS.
    double ShortTerm(double seconds) const {
        const size_t end = static_cast<size_t>(std::lround(seconds * 10.0));
        if (end < 30 || end > steps_.size()) return -INFINITY;
        return Lufs(Mean(end - 30, 30));
    }

private:
    struct Biquad {
        double b0, b1, b2, a1, a2, z1 = 0.0, z2 = 0.0;
        double Process(double x) {
            const double y = b0 * x + z1;
            z1 = b1 * x - a1 * y + z2;
            z2 = b2 * x - a2 * y;
            return y;
        }
    };
    // The filters of the standard, derived for this rate from their analogue prototypes.
    static Biquad Shelf() {
        const double k = std::tan(kPi * 1681.9744509555319 / kRate), q = 0.7071752369554193;
        const double high = std::pow(10.0, 3.99984385397 / 20.0), band = std::pow(high, 0.4996667741545416);
        const double a0 = 1.0 + k / q + k * k;
        return {(high + band * k / q + k * k) / a0, 2.0 * (k * k - high) / a0,
                (high - band * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    static Biquad HighPass() {
        const double k = std::tan(kPi * 38.13547087613982 / kRate), q = 0.5003270373253953;
        const double a0 = 1.0 + k / q + k * k;
        return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
    }
    static double Power(double lufs) { return std::pow(10.0, (lufs + 0.691) / 10.0); }
    static double Lufs(double power) { return power > 0.0 ? -0.691 + 10.0 * std::log10(power) : -INFINITY; }
    double Mean(size_t from, size_t count) const {
        double sum = 0.0;
        for (size_t at = from; at < from + count; ++at) sum += steps_[at];
        return sum / static_cast<double>(count);
    }
    static double Mean(const std::vector<double>& blocks, double above) {
        double sum = 0.0;
        size_t count = 0;
        for (const double block : blocks) {
            if (block <= above) continue;
            sum += block;
            ++count;
        }
        return count > 0 ? sum / static_cast<double>(count) : 0.0;
    }

    std::vector<double> steps_;  // K-weighted mean square of each 100 ms, both channels summed
};

}  // namespace soundtrack
