#include "audio/spectrum.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "audio/fft.h"

namespace audio {

void Spectrum(const float* frames, int channels, float out[kSpectrumBins]) {
    std::array<std::complex<double>, kFftSize> x{};
    for (int n = 0; n < kFftSize; ++n) {
        const float* sample = frames + static_cast<ptrdiff_t>(n) * channels;
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) sum += sample[c];
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize);
        x[n] = sum / channels * window;
    }
    static const Fft fft(kFftSize);
    fft.Forward(x);
    // The Hann window sums to N/2, so a unit sine on bin k gives |X[k]| = N/4.
    constexpr double kScale = 4.0 / kFftSize;
    for (int k = 0; k < kSpectrumBins; ++k) out[k] = static_cast<float>(std::abs(x[k]) * kScale);
}

void Spectrum(const DecodedTrack& track, int64_t startFrame, float out[kSpectrumBins]) {
    std::vector<float> window(static_cast<size_t>(kFftSize * track.channels), 0.0f);
    const int64_t from = std::max<int64_t>(startFrame, 0);
    const int64_t to = std::min<int64_t>(startFrame + kFftSize, track.Frames());
    if (from < to) {
        std::copy(track.samples.begin() + from * track.channels, track.samples.begin() + to * track.channels,
                  window.begin() + (from - startFrame) * track.channels);
    }
    Spectrum(window.data(), track.channels, out);
}

}  // namespace audio
