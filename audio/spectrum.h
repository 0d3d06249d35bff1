// The spectrum of a track: 1024 magnitudes of a 2048-frame FFT, bin k at k × (track rate) / 2048.
// The playing library and offline tools compute it with the same code.
#pragma once

#include <cstdint>

#include "audio/decoded_track.h"

namespace audio {

constexpr int kFftSize = 2048;
constexpr int kSpectrumBins = kFftSize / 2;

// Magnitudes of the kFftSize interleaved frames of `channels` channels at `frames`, mixed to mono as the mean
// of the channels and shaped by a periodic Hann window. Scaled so that a full-scale sine centred on a bin
// reads 1.0 there.
void Spectrum(const float* frames, int channels, float out[kSpectrumBins]);

// The same of the kFftSize frames of `track` from `startFrame` on (frames outside the track count as
// silence).
void Spectrum(const DecodedTrack& track, int64_t startFrame, float out[kSpectrumBins]);

}  // namespace audio
