#include "audio/mixer.h"

#include <algorithm>
#include <utility>

namespace audio {
namespace {

struct Stereo {
    float left, right;
};

// Mono goes to both sides; with more channels the even ones make the left side and the odd ones the right.
Stereo ReadFrame(const DecodedTrack& track, int64_t frame) {
    if (frame >= track.Frames()) return {0.0f, 0.0f};
    const float* s = &track.samples[static_cast<size_t>(frame * track.channels)];
    switch (track.channels) {
        case 1:
            return {s[0], s[0]};
        case 2:
            return {s[0], s[1]};
        default: {
            Stereo sum{0.0f, 0.0f};
            for (int c = 0; c < track.channels; ++c) (c % 2 ? sum.right : sum.left) += s[c];
            const int left = (track.channels + 1) / 2;
            return {sum.left / left, sum.right / (track.channels - left)};
        }
    }
}

}  // namespace

Handle Mixer::Add(std::shared_ptr<const DecodedTrack> track, ChannelKind kind) {
    std::lock_guard lock(mutex_);
    const Handle handle = next_++;
    if (next_ == 0) next_ = 1;
    channels_.emplace(handle, Channel{std::move(track), kind});
    return handle;
}

bool Mixer::Remove(Handle handle, ChannelKind kind) {
    std::map<Handle, Channel>::node_type freed;  // released after the unlock: a track can be large
    std::lock_guard lock(mutex_);
    const auto it = channels_.find(handle);
    if (it == channels_.end() || it->second.kind != kind) return false;
    freed = channels_.extract(it);
    return true;
}

void Mixer::RemoveAll() {
    std::map<Handle, Channel> freed;
    std::lock_guard lock(mutex_);
    freed.swap(channels_);
}

bool Mixer::Play(Handle handle, bool restart) {
    std::lock_guard lock(mutex_);
    const auto it = channels_.find(handle);
    if (it == channels_.end()) return false;
    Channel& channel = it->second;
    if (restart || TrackFrame(channel) >= channel.track->Frames()) channel.rendered = 0;
    channel.playing = true;
    return true;
}

std::optional<ChannelState> Mixer::Find(Handle handle) const {
    std::lock_guard lock(mutex_);
    const auto it = channels_.find(handle);
    if (it == channels_.end()) return std::nullopt;
    return ChannelState{it->second.track, std::min(TrackFrame(it->second), it->second.track->Frames())};
}

void Mixer::Render(float* stereo, int frames) {
    std::fill(stereo, stereo + 2 * frames, 0.0f);
    std::lock_guard lock(mutex_);
    for (auto& [handle, channel] : channels_) {
        if (channel.playing) MixInto(channel, stereo, frames);
    }
}

// The track frame under device frame `rendered`, exactly: rendered × rate / kDeviceRate.
int64_t Mixer::TrackFrame(const Channel& channel) {
    return channel.rendered * channel.track->sampleRate / kDeviceRate;
}

void Mixer::MixInto(Channel& channel, float* stereo, int frames) {
    const DecodedTrack& track = *channel.track;
    const int64_t end = track.Frames();
    for (int i = 0; i < frames; ++i, ++channel.rendered) {
        const int64_t scaled = channel.rendered * track.sampleRate;
        const int64_t frame = scaled / kDeviceRate;
        if (frame >= end) {
            channel.playing = false;
            return;
        }
        Stereo s = ReadFrame(track, frame);
        // Between two track frames (only when the rates differ), interpolate linearly.
        if (const int64_t between = scaled % kDeviceRate; between != 0) {
            const float t = static_cast<float>(between) / kDeviceRate;
            const Stereo next = ReadFrame(track, frame + 1);
            s = {s.left + (next.left - s.left) * t, s.right + (next.right - s.right) * t};
        }
        stereo[2 * i] += s.left;
        stereo[2 * i + 1] += s.right;
    }
}

}  // namespace audio
