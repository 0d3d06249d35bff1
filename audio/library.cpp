#include "audio/library.h"

#include <cstdio>
#include <utility>

#include "audio/spectrum.h"

namespace audio {
namespace {

constexpr int kBytesPerSample = 2;  // positions count bytes of the channel in 16-bit samples

DecodeResult WholeFileOnly(bool mem, const char* file, uint64_t offset, uint64_t length) {
    if (mem) return DecodeResult::Failure("loading from memory is not supported");
    if (file == nullptr) return DecodeResult::Failure("no file name");
    if (offset != 0 || length != 0) return DecodeResult::Failure("only whole files can be opened");
    return {};
}

}  // namespace

Library::Library(Platform platform) : platform_(std::move(platform)) {}

Library::~Library() {
    CloseDevice();
}

uint32_t Library::GetVersion() {
    return kVersion;
}

bool Library::Init(int device, uint32_t freq, uint32_t, void*, const void*) {
    if (deviceOpen_ || device != kDefaultDevice || freq != kDeviceRate) return false;
    deviceOpen_ =
        platform_.output->Open([this](float* stereo, int frames) { mixer_.Render(stereo, frames); });
    return deviceOpen_;
}

Handle Library::StreamCreateFile(bool mem, const char* file, uint64_t offset, uint64_t length, uint32_t) {
    DecodeResult result = WholeFileOnly(mem, file, offset, length);
    if (result.error.empty()) result = platform_.decodeStream(file);
    if (!result.track) {
        failedStream_ = file ? file : "";
        failedStreamReason_ = std::move(result.error);
        return 0;
    }
    failedStream_.clear();
    return mixer_.Add(std::move(result.track), ChannelKind::kStream);
}

Handle Library::MusicLoad(bool mem, const char* file, uint64_t offset, uint32_t length, uint32_t,
                          uint32_t freq) {
    DecodeResult result = WholeFileOnly(mem, file, offset, length);
    // Rates 0 and 1 ask for the device's own.
    if (result.error.empty()) result = platform_.decodeModule(file, freq <= 1 ? kDeviceRate : freq);
    const std::string name = file ? file : "(no file)";
    const bool afterStream = !failedStream_.empty() && failedStream_ == name;
    if (!result.track) {
        if (afterStream) {
            std::fprintf(stderr, "%s: cannot play: not a stream (%s), not a module (%s)\n", name.c_str(),
                         failedStreamReason_.c_str(), result.error.c_str());
        } else {
            std::fprintf(stderr, "%s: cannot play: not a module (%s)\n", name.c_str(), result.error.c_str());
        }
    }
    failedStream_.clear();
    return result.track ? mixer_.Add(std::move(result.track), ChannelKind::kMusic) : 0;
}

bool Library::StreamFree(Handle handle) {
    return mixer_.Remove(handle, ChannelKind::kStream);
}

bool Library::MusicFree(Handle handle) {
    return mixer_.Remove(handle, ChannelKind::kMusic);
}

bool Library::ChannelPlay(Handle handle, bool restart) {
    return mixer_.Play(handle, restart);
}

int32_t Library::ChannelGetData(Handle handle, void* buffer, uint32_t length) {
    if (length != kDataFFT2048) return -1;
    // The track is shared and never changes, so the FFT runs on it outside the mixer's lock.
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel) return -1;
    Spectrum(*channel->track, channel->frame, static_cast<float*>(buffer));
    return kSpectrumBins * sizeof(float);
}

int64_t Library::ChannelGetPosition(Handle handle, uint32_t mode) {
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel || mode != kPosByte) return -1;
    return channel->frame * channel->track->channels * kBytesPerSample;
}

double Library::ChannelBytes2Seconds(Handle handle, int64_t position) {
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel || position < 0) return -1.0;
    const DecodedTrack& track = *channel->track;
    return static_cast<double>(position) /
           (static_cast<double>(track.sampleRate) * track.channels * kBytesPerSample);
}

bool Library::Free() {
    const bool wasOpen = deviceOpen_;
    CloseDevice();
    mixer_.RemoveAll();
    return wasOpen;
}

// Closed before the channels go, and never under the mixer's lock: closing waits for a running render.
void Library::CloseDevice() {
    if (!deviceOpen_) return;
    platform_.output->Close();
    deviceOpen_ = false;
}

}  // namespace audio
