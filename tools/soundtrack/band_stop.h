// A linear-phase FIR band-stop, applied by FFT convolution. The bed of the mix goes through one that clears
// the three picture bands, so that only the strokes written for the pictures move the levels there and the
// levels fall back near zero between them.
#pragma once

#include <span>
#include <vector>

#include "tools/soundtrack/dsp.h"

namespace soundtrack {

// A band to take out: `halfWidth` Hz either side of `centre`.
struct Notch {
    double centre, halfWidth;
};

class BandStop {
public:
    // Stops at least 50 dB within each notch's half width of its centre and passes from 11 Hz beyond that
    // out, within 0.03 dB. The taps are a Kaiser-windowed ideal band-stop.
    explicit BandStop(std::span<const Notch> notches);

    // Filters the bus in place; the output is aligned with the input (the filter's delay is taken out).
    void Apply(Bus& bus) const;

    const std::vector<double>& Taps() const { return taps_; }

private:
    std::vector<double> taps_;
};

}  // namespace soundtrack
