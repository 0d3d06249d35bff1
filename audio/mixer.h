// The channels of the library and the mix the output device plays. The device thread calls Render; the main
// thread adds, starts, frees and queries channels.
//
// Two locks keep the main thread off decoding. The channels and the clock are behind a short lock that every
// call holds only to read or change them, never while it waits: a query is one consistent reading of them.
// Render takes what it mixes under that lock, lets it go, and only then waits for a channel whose decoding
// fell behind, holding the render lock alone. The main thread waits for that lock only to free a track it
// took out of the mix (so that a track and its decoding thread are never freed on the device's thread),
// after telling the track to stop, which ends any wait for it at once.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "audio/audio_library.h"
#include "audio/device_clock.h"
#include "audio/track_stream.h"

namespace audio {

enum class ChannelKind { kStream, kMusic };

// The channel's track opened again from the given frame on, for a restart or a new position; null when it no
// longer opens. May throw what the TrackStream constructor throws.
using Reopen = std::function<std::shared_ptr<TrackStream>(int64_t first)>;

// A channel as a query sees it: its track and the frame now being heard, in the track's own rate. After the
// track's end the frame goes on counting, as if silence followed.
struct ChannelState {
    std::shared_ptr<TrackStream> stream;
    int64_t frame = 0;
};

class Mixer {
public:
    // How long a device callback waits for decoding that fell behind before it plays silence instead. Long:
    // the wait holds up only the sound (no query waits for it, so the picture goes on drawing, which on a
    // loaded machine leaves the decoding thread less time than when the picture stalled with the sound).
    static constexpr std::chrono::milliseconds kUnderrunWait{2000};

    // `now` is the monotonic clock the heard position advances by between callbacks (steady when empty).
    explicit Mixer(DeviceClock::Now now = {}, std::chrono::milliseconds underrunWait = kUnderrunWait);

    // A new, stopped channel on `stream`; its handle is never 0 and never reused.
    Handle Add(std::shared_ptr<TrackStream> stream, ChannelKind kind, Reopen reopen);
    // Frees the channel if `handle` names one of `kind`.
    bool Remove(Handle handle, ChannelKind kind);
    void RemoveAll();
    // Starts the channel, from the start when asked to or when its track has played to its end. Waits for
    // the first frames to be decoded, so that the sound starts with the position.
    bool Play(Handle handle, bool restart);
    // Stops a playing channel at the frame being heard, which its position then holds; Play without restart
    // goes on from there.
    bool Pause(Handle handle);
    // Moves the channel to its track's frame `frame`, playing or not: the next frames mixed are from there,
    // and its position holds that frame until they are heard. Waits for the first frames to be decoded.
    bool SetPosition(Handle handle, int64_t frame);
    // The channel's track and heard frame, read together; never waits for decoding.
    std::optional<ChannelState> Find(Handle handle);
    // The channel's track alone (its format), without reading the clock.
    std::shared_ptr<TrackStream> Stream(Handle handle);

    // Writes `frames` stereo frames: the sum of the playing channels. `queued` is how many frames handed over
    // before the device still holds beyond the one being heard. Called by the device thread; where decoding
    // has fallen behind it waits for the frames (kUnderrunWait at most), holding nothing a query needs. With
    // a null `stereo` the frames only count as played: the clock and each channel's decoding move on as far,
    // without mixing.
    void Render(float* stereo, int frames, int queued);

private:
    struct Channel {
        std::shared_ptr<TrackStream> stream;
        ChannelKind kind;
        Reopen reopen;
        bool playing = false;
        int64_t start = 0;  // the device frame its first frame is (or would have been) mixed at
        int64_t from = 0;   // the track frame it was started, resumed or moved at: its position's floor
                            // while playing, its position while not
    };
    // A playing channel as one callback mixes it: from its device frame `offset` on.
    struct Mixing {
        std::shared_ptr<TrackStream> stream;
        int64_t offset;
    };

    static int64_t TrackFrame(const TrackStream& stream, int64_t deviceFrames);
    // The device frames before the track's frame `frame`, rounded up.
    static int64_t DeviceFrames(const TrackStream& stream, int64_t frame);
    // The channel's track frame being heard.
    int64_t Heard(const Channel& channel);
    // Opens the channel's track again from `frame` and waits for its first frames; null when it fails.
    static std::shared_ptr<TrackStream> Reopened(const Reopen& reopen, int64_t frame);
    // The channel plays from `from` on, starting with the next frames mixed.
    void Start(Channel& channel, int64_t from);
    // Mixes the channel's device frames [offset, offset + frames) into `stereo` (nothing when it is null).
    void MixInto(const Mixing& channel, float* stereo, int frames);
    // Stops the tracks taken out of the mix and frees them once no callback holds them.
    void Retire(std::vector<std::shared_ptr<TrackStream>> tracks);

    const std::chrono::milliseconds underrunWait_;

    std::mutex mutex_;  // the channels and the clock; never held while waiting
    std::map<Handle, Channel> channels_;
    Handle next_ = 1;
    DeviceClock clock_;

    std::mutex renderMutex_;      // held by Render for the whole callback
    std::vector<Mixing> mixing_;  // the channels of one callback
    std::vector<float> scratch_;  // a channel's frames for one callback
};

}  // namespace audio
