// The channels of the library and the mix the output device plays. The device thread calls Render; the main
// thread adds, starts, frees and queries channels. Every call holds the lock only briefly.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "audio/audio_library.h"
#include "audio/decoded_track.h"

namespace audio {

constexpr int kDeviceRate = 44100;  // the output: interleaved stereo float at this rate

enum class ChannelKind { kStream, kMusic };

// A channel as a query sees it: its track and the frame now being heard, in the track's own rate.
struct ChannelState {
    std::shared_ptr<const DecodedTrack> track;
    int64_t frame = 0;
};

class Mixer {
public:
    // A new, stopped channel on `track` (which must hold frames); its handle is never 0 and never reused.
    Handle Add(std::shared_ptr<const DecodedTrack> track, ChannelKind kind);
    // Frees the channel if `handle` names one of `kind`.
    bool Remove(Handle handle, ChannelKind kind);
    void RemoveAll();
    // Starts the channel, from the start when asked to or when it has played to its end.
    bool Play(Handle handle, bool restart);
    std::optional<ChannelState> Find(Handle handle) const;

    // Writes `frames` stereo frames: the sum of the playing channels. Called by the device thread.
    void Render(float* stereo, int frames);

private:
    struct Channel {
        std::shared_ptr<const DecodedTrack> track;
        ChannelKind kind;
        bool playing = false;
        int64_t rendered = 0;  // device frames played since the start
    };

    static int64_t TrackFrame(const Channel& channel);
    static void MixInto(Channel& channel, float* stereo, int frames);

    mutable std::mutex mutex_;
    std::map<Handle, Channel> channels_;
    Handle next_ = 1;
};

}  // namespace audio
