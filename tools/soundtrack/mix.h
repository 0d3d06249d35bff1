// The mix: every voice of the score into the buses, the hall on the send, the band stops on the bed and the
// air, then the master (the buses summed, the DC taken out, the level set to the loudness of a release, the
// peaks limited, the tail faded).
#pragma once

#include <vector>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/score.h"

namespace soundtrack {

// The loudness the master is set to, in LUFS, and the most the limiter may then take off, in dB.
constexpr double kTargetLoudness = -14.0;
constexpr double kMostGainReduction = 3.0;

struct Mixdown {
    std::vector<float> frames;  // the whole piece, interleaved stereo at kRate
    std::vector<float> gain;    // the limiter's gain on each frame, 1 where it leaves the mix alone
};

Mixdown Render(const Score& score);

// Keeps every sample of the bus within `ceiling`: the gain falls over the `lookahead` frames before a peak,
// so that it has reached the peak's need by then, and recovers with time constant `release` seconds.
// Returns the gain applied to each frame.
std::vector<float> Limit(Bus& bus, float ceiling, int64_t lookahead, double release);

}  // namespace soundtrack
