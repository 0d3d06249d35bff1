#include "audio/spectrum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

#include "audio/fft.h"

namespace audio {
namespace {

using Bins = std::vector<float>;

// A track whose sample (frame, channel) is `value(frame, channel)`.
DecodedTrack MakeTrack(int channels, int64_t frames, const std::function<double(int64_t, int)>& value) {
    DecodedTrack track{{}, channels, 44100};
    for (int64_t f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) track.samples.push_back(static_cast<float>(value(f, c)));
    }
    return track;
}

double Sine(int bin, int64_t frame) {
    return std::sin(2.0 * std::numbers::pi * bin * frame / kFftSize);
}

Bins SpectrumOf(const DecodedTrack& track, int64_t start) {
    Bins out(kSpectrumBins, -1.0f);
    Spectrum(track, start, out.data());
    return out;
}

TEST(Fft, MatchesDirectDftAndInvertsIt) {
    constexpr int n = 512;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::vector<std::complex<double>> input(n);
    for (auto& x : input) x = {uniform(random), uniform(random)};

    const Fft fft(n);
    std::vector<std::complex<double>> fast = input;
    fft.Forward(fast);
    for (int k = 0; k < n; ++k) {
        std::complex<double> direct;
        for (int t = 0; t < n; ++t) direct += input[t] * std::polar(1.0, -2.0 * std::numbers::pi * k * t / n);
        ASSERT_NEAR(std::abs(fast[k] - direct), 0.0, 1e-9) << "bin " << k;
    }
    fft.Inverse(fast);
    for (int t = 0; t < n; ++t) ASSERT_NEAR(std::abs(fast[t] - input[t]), 0.0, 1e-12) << "sample " << t;
}

TEST(Spectrum, FullScaleSineCentredOnABinReadsOne) {
    for (int bin : {20, 50, 200}) {
        const Bins out = SpectrumOf(MakeTrack(2, kFftSize, [&](int64_t f, int) { return Sine(bin, f); }), 0);
        EXPECT_NEAR(out[bin], 1.0, 1e-4) << "bin " << bin;
        // The Hann window spreads a centred tone over its neighbours only, at half height.
        EXPECT_NEAR(out[bin - 1], 0.5, 1e-4);
        EXPECT_NEAR(out[bin + 1], 0.5, 1e-4);
        for (int k = 0; k < kSpectrumBins; ++k) {
            if (std::abs(k - bin) > 1) {
                ASSERT_LT(out[k], 1e-5) << "bin " << bin << ", leak into " << k;
            }
        }
    }
}

TEST(Spectrum, PeriodicHannWindowOnDirectCurrent) {
    // A constant 1 under the periodic window: X[0] = N/2, X[±1] = −N/4, nothing else.
    const Bins out = SpectrumOf(MakeTrack(1, kFftSize, [](int64_t, int) { return 1.0; }), 0);
    EXPECT_NEAR(out[0], 2.0, 1e-5);
    EXPECT_NEAR(out[1], 1.0, 1e-5);
    EXPECT_LT(*std::max_element(out.begin() + 2, out.end()), 1e-5);
}

TEST(Spectrum, MixesChannelsToTheirMean) {
    const Bins antiPhase =
        SpectrumOf(MakeTrack(2, kFftSize, [](int64_t f, int c) { return (c ? -1 : 1) * Sine(50, f); }), 0);
    EXPECT_LT(*std::max_element(antiPhase.begin(), antiPhase.end()), 1e-6);

    const Bins oneOfFour =
        SpectrumOf(MakeTrack(4, kFftSize, [](int64_t f, int c) { return c == 0 ? Sine(50, f) : 0.0; }), 0);
    EXPECT_NEAR(oneOfFour[50], 0.25, 1e-5);
}

TEST(Spectrum, ReadsFromTheStartFrameAndTreatsFramesPastTheEndAsSilence) {
    // Silence, then one window's worth of tone.
    const DecodedTrack track =
        MakeTrack(2, 2 * kFftSize, [](int64_t f, int) { return f < kFftSize ? 0.0 : Sine(50, f); });
    EXPECT_NEAR(SpectrumOf(track, kFftSize)[50], 1.0, 1e-4);
    EXPECT_LT(SpectrumOf(track, 0)[50], 1e-6);

    const Bins halfPastEnd = SpectrumOf(track, kFftSize + kFftSize / 2);
    EXPECT_GT(halfPastEnd[50], 0.1);
    EXPECT_LT(halfPastEnd[50], 0.9);

    const Bins pastEnd = SpectrumOf(track, 2 * kFftSize);
    EXPECT_EQ(*std::max_element(pastEnd.begin(), pastEnd.end()), 0.0f);
}

}  // namespace
}  // namespace audio
