#include "audio/spectrum.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace audio {

void Fft(std::span<std::complex<double>> data) {
    const size_t n = data.size();
    assert(std::has_single_bit(n));

    // Bit-reversal permutation, then log2(n) stages of butterflies.
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) std::swap(data[i], data[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const size_t half = len / 2;
        for (size_t k = 0; k < half; ++k) {
            const auto w = std::polar(1.0, -2.0 * std::numbers::pi * static_cast<double>(k) / len);
            for (size_t start = k; start < n; start += len) {
                const auto odd = data[start + half] * w;
                data[start + half] = data[start] - odd;
                data[start] += odd;
            }
        }
    }
}

void Spectrum(const float* frames, int channels, float out[kSpectrumBins]) {
    std::array<std::complex<double>, kFftSize> x{};
    for (int n = 0; n < kFftSize; ++n) {
        const float* sample = frames + static_cast<ptrdiff_t>(n) * channels;
        double sum = 0.0;
        for (int c = 0; c < channels; ++c) sum += sample[c];
        const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / kFftSize);
        x[n] = sum / channels * window;
    }
    Fft(x);
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
