// The mix: every voice of the score into the buses, the hall on the send, the band stop on the bed, then the
// master (bed and strokes summed, the DC taken out, the peaks limited, the tail faded).
#pragma once

#include <vector>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/score.h"

namespace soundtrack {

// The whole piece as interleaved stereo frames at kRate.
std::vector<float> Render(const Score& score);

// Keeps every sample of the bus within `ceiling`: the gain falls over the `lookahead` frames before a peak,
// so that it has reached the peak's need by then, and recovers with time constant `release` seconds.
void Limit(Bus& bus, float ceiling, int64_t lookahead, double release);

}  // namespace soundtrack
