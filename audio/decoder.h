// A track read in order, a block at a time: what every platform's decoders hand the library, so that a
// channel holds only the frames around the one being heard, whatever the track's length.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <utility>

#include "audio/decoded_track.h"

namespace audio {

class Decoder {
public:
    virtual ~Decoder() = default;
    virtual int Channels() const = 0;
    virtual int SampleRate() const = 0;
    // Reads up to `frames` interleaved frames into `out` and returns how many it read: fewer only where the
    // track ends or turns bad, 0 once it has ended. Where it turned bad, the frames before the damage come
    // back and `error` says what happened there: whether reading goes on past it or stops. May throw
    // std::bad_alloc.
    virtual int64_t Read(float* out, int64_t frames, std::string& error) = 0;
    // Moves to frame `frame` from the start, so that Read goes on from there; false where the decoder cannot
    // (the caller then reads up to it instead).
    virtual bool Seek(int64_t /*frame*/) { return false; }
    // How many frames Read gives now without waiting for them: the rest of the track for a decoder that
    // reads a file; fewer for one whose frames are decoded elsewhere and arrive as they are (a web page's).
    virtual int64_t Available() const { return std::numeric_limits<int64_t>::max(); }
};

// No track has more: a header that declares more lies, and the memory sized from it would run to gigabytes.
constexpr int kMaxSampleRate = 768000;
constexpr int kMaxChannels = 32;

// Why frames of `channels` channels at `rate` cannot be played (none, or more than any track has), or empty.
std::string FormatProblem(int channels, int rate);

// What opening a track hands back: a decoder at its first frame, or why there is none.
struct OpenResult {
    std::unique_ptr<Decoder> decoder;  // null on failure
    std::string error;                 // the reason, when `decoder` is null

    static OpenResult Failure(std::string why) { return {nullptr, std::move(why)}; }
};

// The frames of a track in memory, read in order.
std::unique_ptr<Decoder> MemoryDecoder(std::shared_ptr<const DecodedTrack> track);

// Reads an opened track into memory from `firstFrame` on (the frames before are decoded and let go), at most
// `maxFrames` of it. A track that turns bad keeps what decoded, with the last thing that went wrong in
// `error`; one with no frames at all is a failure.
DecodeResult DecodeAll(OpenResult opened, int64_t maxFrames = std::numeric_limits<int64_t>::max(),
                       int64_t firstFrame = 0);

}  // namespace audio
