#include "audio/mixer.h"

#include <algorithm>
#include <utility>

#include "audio/spectrum.h"

namespace audio {
namespace {

struct Stereo {
    float left, right;
};

// Mono goes to both sides; with more channels the even ones make the left side and the odd ones the right.
Stereo ReadFrame(const float* s, int channels) {
    switch (channels) {
        case 1:
            return {s[0], s[0]};
        case 2:
            return {s[0], s[1]};
        default: {
            Stereo sum{0.0f, 0.0f};
            for (int c = 0; c < channels; ++c) (c % 2 ? sum.right : sum.left) += s[c];
            const int left = (channels + 1) / 2;
            return {sum.left / left, sum.right / (channels - left)};
        }
    }
}

}  // namespace

Mixer::Mixer(DeviceClock::Now now, std::chrono::milliseconds underrunWait)
    : underrunWait_(underrunWait), clock_(std::move(now), kDeviceRate) {}

Handle Mixer::Add(std::shared_ptr<TrackStream> stream, ChannelKind kind, Reopen reopen) {
    std::lock_guard lock(mutex_);
    const Handle handle = next_++;
    if (next_ == 0) next_ = 1;
    channels_.emplace(handle, Channel{std::move(stream), kind, std::move(reopen)});
    return handle;
}

bool Mixer::Remove(Handle handle, ChannelKind kind) {
    std::shared_ptr<TrackStream> freed;
    {
        std::lock_guard lock(mutex_);
        const auto it = channels_.find(handle);
        if (it == channels_.end() || it->second.kind != kind) return false;
        freed = std::move(it->second.stream);
        channels_.erase(it);
    }
    Retire({std::move(freed)});
    return true;
}

void Mixer::RemoveAll() {
    std::vector<std::shared_ptr<TrackStream>> freed;
    {
        std::lock_guard lock(mutex_);
        for (auto& [handle, channel] : channels_) freed.push_back(std::move(channel.stream));
        channels_.clear();
    }
    Retire(std::move(freed));
}

bool Mixer::Play(Handle handle, bool restart) {
    std::shared_ptr<TrackStream> stream;
    Reopen reopen;
    int64_t from = 0;
    {
        std::lock_guard lock(mutex_);
        const auto it = channels_.find(handle);
        if (it == channels_.end()) return false;
        const Channel& channel = it->second;
        if (channel.playing) {
            const int64_t mixed = TrackFrame(*channel.stream, clock_.Mixed() - channel.start);
            if (!restart && !channel.stream->EndedBefore(mixed)) return true;
            reopen = channel.reopen;
        } else if (restart && channel.from != 0) {
            reopen = channel.reopen;
        } else {
            stream = channel.stream;  // at the frame where it stopped or was moved to
            from = channel.from;
        }
    }
    if (reopen && !(stream = Reopened(reopen, 0))) return false;
    stream->AwaitDecoded(from + static_cast<int64_t>(TrackStream::kStartSeconds * stream->SampleRate()));

    std::shared_ptr<TrackStream> old;
    {
        std::lock_guard lock(mutex_);
        const auto it = channels_.find(handle);
        if (it == channels_.end()) return false;
        old = std::exchange(it->second.stream, std::move(stream));
        Start(it->second, from);
    }
    if (reopen) Retire({std::move(old)});
    return true;
}

bool Mixer::Pause(Handle handle) {
    std::lock_guard lock(mutex_);
    const auto it = channels_.find(handle);
    if (it == channels_.end() || !it->second.playing) return false;
    it->second.from = Heard(it->second);
    it->second.playing = false;
    return true;
}

bool Mixer::SetPosition(Handle handle, int64_t frame) {
    if (frame < 0) return false;
    Reopen reopen;
    {
        std::lock_guard lock(mutex_);
        const auto it = channels_.find(handle);
        if (it == channels_.end()) return false;
        reopen = it->second.reopen;
    }
    std::shared_ptr<TrackStream> stream = Reopened(reopen, frame);
    if (!stream) return false;
    stream->AwaitDecoded(frame + static_cast<int64_t>(TrackStream::kStartSeconds * stream->SampleRate()));

    std::shared_ptr<TrackStream> old;
    {
        std::lock_guard lock(mutex_);
        const auto it = channels_.find(handle);
        if (it == channels_.end()) return false;
        Channel& channel = it->second;
        old = std::exchange(channel.stream, std::move(stream));
        if (channel.playing) {
            Start(channel, frame);
        } else {
            channel.from = frame;
        }
    }
    Retire({std::move(old)});
    return true;
}

std::optional<ChannelState> Mixer::Find(Handle handle) {
    std::lock_guard lock(mutex_);
    const auto it = channels_.find(handle);
    if (it == channels_.end()) return std::nullopt;
    const Channel& channel = it->second;
    return ChannelState{channel.stream, channel.playing ? Heard(channel) : channel.from};
}

std::shared_ptr<TrackStream> Mixer::Stream(Handle handle) {
    std::lock_guard lock(mutex_);
    const auto it = channels_.find(handle);
    return it != channels_.end() ? it->second.stream : nullptr;
}

std::shared_ptr<TrackStream> Mixer::Reopened(const Reopen& reopen, int64_t frame) {
    if (!reopen) return nullptr;
    try {
        return reopen(frame);
    } catch (const std::exception&) {
        return nullptr;
    }
}

void Mixer::Start(Channel& channel, int64_t from) {
    channel.playing = true;
    channel.start = clock_.Mixed() - DeviceFrames(*channel.stream, from);
    channel.from = from;
}

int64_t Mixer::Heard(const Channel& channel) {
    return std::max(TrackFrame(*channel.stream, std::max<int64_t>(clock_.Heard() - channel.start, 0)),
                    channel.from);
}

void Mixer::Render(float* stereo, int frames, int queued) {
    if (stereo != nullptr) std::fill(stereo, stereo + 2 * frames, 0.0f);
    std::lock_guard rendering(renderMutex_);
    {
        std::lock_guard lock(mutex_);
        const int64_t mixed = clock_.Mixed();
        clock_.Callback(frames, queued);
        for (const auto& [handle, channel] : channels_) {
            if (channel.playing) mixing_.push_back({channel.stream, mixed - channel.start});
        }
    }
    for (const Mixing& channel : mixing_) MixInto(channel, stereo, frames);
    mixing_.clear();
}

void Mixer::Retire(std::vector<std::shared_ptr<TrackStream>> tracks) {
    for (const auto& track : tracks) track->Stop();
    std::lock_guard noCallbackHoldsThem(renderMutex_);
}

// The track frame under the channel's device frame `deviceFrames`, exactly: deviceFrames × rate /
// kDeviceRate.
int64_t Mixer::TrackFrame(const TrackStream& stream, int64_t deviceFrames) {
    return deviceFrames * stream.SampleRate() / kDeviceRate;
}

int64_t Mixer::DeviceFrames(const TrackStream& stream, int64_t frame) {
    return (frame * kDeviceRate + stream.SampleRate() - 1) / stream.SampleRate();
}

void Mixer::MixInto(const Mixing& channel, float* stereo, int frames) {
    TrackStream& stream = *channel.stream;
    const int64_t offset = channel.offset;
    const int rate = stream.SampleRate(), channels = stream.Channels();
    if (stereo == nullptr) {
        // Played elsewhere: one spectrum's frames from the last one played are kept decoded.
        const int64_t last = TrackFrame(stream, offset + frames);
        stream.Release(last - stream.HistoryFrames());
        stream.AwaitDecoded(last + kFftSize, underrunWait_);
        return;
    }
    // The track frames under these device frames, and the one after the last for the interpolation.
    const int64_t first = TrackFrame(stream, offset);
    const int64_t count = TrackFrame(stream, offset + frames - 1) + 2 - first;
    scratch_.resize(static_cast<size_t>(count * channels));
    // Decoding fell behind (a loaded machine, or a device that takes frames faster than real time): the
    // device waits for it a while rather than play silence, so the sound stays with the position.
    stream.AwaitDecoded(first + count - 1, underrunWait_);
    stream.Copy(first, count, scratch_.data());
    for (int i = 0; i < frames; ++i) {
        const int64_t scaled = (offset + i) * rate;
        const int64_t frame = scaled / kDeviceRate;
        const float* at = &scratch_[static_cast<size_t>((frame - first) * channels)];
        Stereo s = ReadFrame(at, channels);
        // Between two track frames (only when the rates differ), interpolate linearly.
        if (const int64_t between = scaled % kDeviceRate; between != 0) {
            const float t = static_cast<float>(between) / kDeviceRate;
            const Stereo next = ReadFrame(at + channels, channels);
            s = {s.left + (next.left - s.left) * t, s.right + (next.right - s.right) * t};
        }
        stereo[2 * i] += s.left;
        stereo[2 * i + 1] += s.right;
    }
    stream.Release(first - stream.HistoryFrames());
}

}  // namespace audio
