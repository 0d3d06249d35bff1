// A channel's track decoded ahead of where it plays, on a thread of its own, into a bounded ring of frames:
// memory stays the same whatever the track's length. Where the program has no threads (a web page), the
// stream decodes on the caller's thread instead: each wait for frames decodes up to them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/decoder.h"

namespace audio {

class TrackStream {
public:
    static constexpr double kAheadSeconds = 3.0;    // decoded ahead of the frames still wanted
    static constexpr double kHistorySeconds = 1.0;  // kept behind the frames mixed, for the spectrum
    static constexpr double kStartSeconds = 0.5;    // decoded before playback starts

    // The ring never takes more, whatever the format: a format that would need more keeps less time in it.
    static constexpr size_t kMaxRingBytes = size_t{64} << 20;

    // Starts decoding `decoder` (whose format FormatProblem accepts) from its frame `first` on; frames before
    // it read as silence. `name` names the track in the one line written to standard error when it turns
    // bad or memory runs out. Throws std::system_error (saying that no decoding thread could be started)
    // when no thread can be started, std::bad_alloc when the ring cannot be had.
    TrackStream(std::unique_ptr<Decoder> decoder, std::string name, int64_t first = 0);
    // Stops decoding (Stop) and waits for the decoding thread.
    ~TrackStream();
    TrackStream(const TrackStream&) = delete;
    TrackStream& operator=(const TrackStream&) = delete;

    int Channels() const { return channels_; }
    int SampleRate() const { return rate_; }
    // The frames kept behind those mixed, for the spectrum: kHistorySeconds, or less in a ring at its cap.
    int64_t HistoryFrames() const { return history_; }

    // Waits until `frames` frames from the start have been decoded, or the track has ended, or it was
    // stopped, or `limit` has passed.
    void AwaitDecoded(int64_t frames, std::chrono::milliseconds limit = std::chrono::milliseconds::max());
    // Frames [first, first + count) into `out`, interleaved; frames not decoded (not yet, no longer, or past
    // the end) read as silence.
    void Copy(int64_t first, int64_t count, float* out) const;
    // Frames before `frame` are not wanted any more: the decoder may overwrite them.
    void Release(int64_t frame);
    // Ends decoding after the block being decoded, and every wait for frames at once; what was decoded
    // stays readable.
    void Stop();
    // True once the track has ended and `frame` lies past its last frame.
    bool EndedBefore(int64_t frame) const;

private:
    void Run();
    // Brings the decoder to the first frame wanted, the first time it is called.
    void SkipToStart(std::vector<float>& block);
    // Puts `read` decoded frames of `block` at the ring's end, and reports `error` (the mutex held).
    void Append(const std::vector<float>& block, int64_t read, const std::string& error);
    void Report(const std::string& what) const;
#ifdef __EMSCRIPTEN__
    // Decodes until the first `frames` frames are in, the ring is full, the track has ended or its next
    // frames are not there yet.
    void Fill(int64_t frames);
#endif

    std::unique_ptr<Decoder> decoder_;
    const std::string name_;
    const int channels_, rate_;
    const int64_t capacity_;  // frames in the ring
    const int64_t history_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<float> ring_;  // frame f at (f % capacity_)
    int64_t end_ = 0;          // frames decoded so far; the ring holds [end_ - capacity_, end_)
    int64_t released_ = 0;     // frames before this one may be overwritten
    int64_t skip_ = 0;         // frames the decoder has still to pass before the first one wanted
    bool ended_ = false;
    bool stop_ = false;
#ifndef __EMSCRIPTEN__
    std::thread thread_;  // last: started once everything above is ready
#endif
};

}  // namespace audio
