// A large, dark hall: parallel damped combs into series allpasses per side (the Schroeder-Moorer design),
// fed from a mono send after a predelay.
#pragma once

#include <vector>

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

struct ReverbShape {
    double predelay = 0.04;  // seconds
    double size = 1.4;       // delay lengths relative to a mid-sized room
    double feedback = 0.94;  // of the combs: the length of the tail
    double damping = 0.3;    // high-frequency loss in the tail, 0 to 1
};

// Adds the reverberation of `send` to `out`, times `wet`.
void Reverberate(const std::vector<float>& send, const ReverbShape& shape, float wet, Bus& out);

}  // namespace soundtrack
