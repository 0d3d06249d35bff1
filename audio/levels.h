// The three spectrum levels the pictures move with: bins 20, 50 and 200 of the 2048-frame FFT (about 431 Hz,
// 1077 Hz and 4307 Hz at 44100 Hz), each 3 times the square root of the bin.
#pragma once

#include <cmath>

namespace audio {

// The root is rounded to float, then the product: each level is the float nearest to 3 x float(sqrt(bin)).
inline void SpectrumLevels(const float* spectrum, float levels[3]) {
    constexpr int kBins[3] = {20, 50, 200};
    for (int i = 0; i < 3; ++i) {
        const float root = static_cast<float>(std::sqrt(static_cast<double>(spectrum[kBins[i]])));
        levels[i] = static_cast<float>(static_cast<double>(root) * 3.0);
    }
}

}  // namespace audio
