// A track decoded into memory: what every channel plays from, and what the spectrum is computed on.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace audio {

struct DecodedTrack {
    std::vector<float> samples;  // interleaved frames, nominally in [-1, 1]
    int channels = 0;
    int sampleRate = 0;

    int64_t Frames() const { return channels > 0 ? static_cast<int64_t>(samples.size()) / channels : 0; }
};

// What a decoder hands back: a track, or why there is none.
struct DecodeResult {
    std::shared_ptr<const DecodedTrack> track;  // null on failure
    std::string error;  // the reason, when `track` is null; with a track, why it ends early (turned bad)

    static DecodeResult Failure(std::string why) { return {nullptr, std::move(why)}; }
};

}  // namespace audio
