#include "audio/library.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "audio/spectrum.h"

namespace audio {
namespace {

constexpr int kBytesPerSample = 2;  // positions count bytes of the channel in 16-bit samples

// The library whose device is open, for the exit handler: std::atexit passes its handler no context.
std::atomic<Library*> openLibrary{nullptr};

// An exit with the device open (Escape, the end of the show) stops it and every channel's decoder before
// the exit handlers registered earlier and static destruction run.
void FreeAtExit() {
    if (Library* library = openLibrary.load()) library->Free();
}

OpenResult WholeFileOnly(bool mem, const char* file, uint64_t offset, uint64_t length) {
    if (mem) return OpenResult::Failure("loading from memory is not supported");
    if (file == nullptr) return OpenResult::Failure("no file name");
    if (offset != 0 || length != 0) return OpenResult::Failure("only whole files can be opened");
    return {};
}

// The track `open` opens, streaming from its frame `first`: the stream, or null with the reason in `error`.
// Running out of memory or threads is a reason like any other.
std::shared_ptr<TrackStream> OpenStream(const std::function<OpenResult()>& open, const std::string& name,
                                        std::string& error, int64_t first = 0) {
    try {
        OpenResult opened = open();
        if (!opened.decoder) {
            error = std::move(opened.error);
            return nullptr;
        }
        error = FormatProblem(opened.decoder->Channels(), opened.decoder->SampleRate());
        if (!error.empty()) return nullptr;
        return std::make_shared<TrackStream>(std::move(opened.decoder), name, first);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    } catch (const std::exception& e) {
        error = e.what();
    }
    return nullptr;
}

// The channel's track opened again by `open`, from a given frame.
Reopen ReopenWith(const std::function<OpenResult()>& open, const std::string& name) {
    return [open, name](int64_t first) {
        std::string ignored;
        return OpenStream(open, name, ignored, first);
    };
}

// Whole frames of the channel's 16-bit format.
int64_t FrameBytes(const TrackStream& stream) {
    return int64_t{stream.Channels()} * kBytesPerSample;
}

}  // namespace

Library::Library(Platform platform) : platform_(std::move(platform)), mixer_(platform_.now) {}

Library::~Library() {
    Free();
}

uint32_t Library::GetVersion() {
    return kVersion;
}

bool Library::Init(int device, uint32_t freq, uint32_t, void*, const void*) {
    if (deviceOpen_ || device != kDefaultDevice || freq != kDeviceRate) return false;
    deviceOpen_ = platform_.output->Open(
        [this](float* stereo, int frames, int queued) { mixer_.Render(stereo, frames, queued); });
    if (deviceOpen_) {
        static const bool handlerRegistered = std::atexit(FreeAtExit) == 0;
        (void)handlerRegistered;
        openLibrary = this;
    }
    return deviceOpen_;
}

Handle Library::StreamCreateFile(bool mem, const char* file, uint64_t offset, uint64_t length, uint32_t) {
    OpenResult refused = WholeFileOnly(mem, file, offset, length);
    std::string error = std::move(refused.error);
    std::shared_ptr<TrackStream> stream;
    Reopen reopen;
    if (error.empty()) {
        const auto open = [decode = platform_.decodeStream, path = std::string(file)] {
            return decode(path.c_str());
        };
        stream = OpenStream(open, file, error);
        reopen = ReopenWith(open, file);
    }
    if (!stream) {
        failedStream_ = file ? file : "";
        failedStreamReason_ = std::move(error);
        return 0;
    }
    failedStream_.clear();
    return mixer_.Add(std::move(stream), ChannelKind::kStream, std::move(reopen));
}

Handle Library::MusicLoad(bool mem, const char* file, uint64_t offset, uint32_t length, uint32_t,
                          uint32_t freq) {
    OpenResult refused = WholeFileOnly(mem, file, offset, length);
    std::string error = std::move(refused.error);
    std::shared_ptr<TrackStream> stream;
    Reopen reopen;
    if (error.empty()) {
        // Rates 0 and 1 ask for the device's own.
        const auto open = [decode = platform_.decodeModule, path = std::string(file),
                           rate = freq <= 1 ? kDeviceRate : static_cast<int>(freq)] {
            return decode(path.c_str(), rate);
        };
        stream = OpenStream(open, file, error);
        reopen = ReopenWith(open, file);
    }
    const std::string name = file ? file : "(no file)";
    const bool afterStream = !failedStream_.empty() && failedStream_ == name;
    if (!stream) {
        if (afterStream) {
            std::fprintf(stderr, "%s: cannot play: not a stream (%s), not a module (%s)\n", name.c_str(),
                         failedStreamReason_.c_str(), error.c_str());
        } else {
            std::fprintf(stderr, "%s: cannot play: not a module (%s)\n", name.c_str(), error.c_str());
        }
    }
    failedStream_.clear();
    return stream ? mixer_.Add(std::move(stream), ChannelKind::kMusic, std::move(reopen)) : 0;
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
    // The frames from the one being heard on, copied from what was decoded; the FFT runs outside every lock.
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel) return -1;
    const TrackStream& stream = *channel->stream;
    window_.resize(static_cast<size_t>(kFftSize * stream.Channels()));
    stream.Copy(channel->frame, kFftSize, window_.data());
    Spectrum(window_.data(), stream.Channels(), static_cast<float*>(buffer));
    return kSpectrumBins * sizeof(float);
}

int64_t Library::ChannelGetPosition(Handle handle, uint32_t mode) {
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel || mode != kPosByte) return -1;
    return channel->frame * FrameBytes(*channel->stream);
}

int64_t Library::ChannelSeconds2Bytes(Handle handle, double seconds) {
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel || !(seconds >= 0.0)) return -1;
    const TrackStream& stream = *channel->stream;
    return static_cast<int64_t>(std::ceil(seconds * stream.SampleRate())) * FrameBytes(stream);
}

bool Library::ChannelSetPosition(Handle handle, int64_t position, uint32_t mode) {
    const std::optional<ChannelState> channel = mixer_.Find(handle);
    if (!channel || mode != kPosByte || position < 0) return false;
    return mixer_.SetPosition(handle, position / FrameBytes(*channel->stream));
}

bool Library::ChannelPause(Handle handle) {
    return mixer_.Pause(handle);
}

double Library::ChannelBytes2Seconds(Handle handle, int64_t position) {
    const std::shared_ptr<TrackStream> stream = mixer_.Stream(handle);
    if (!stream || position < 0) return -1.0;
    return static_cast<double>(position) / (static_cast<double>(stream->SampleRate()) * FrameBytes(*stream));
}

// The channels go first: their tracks stop, which ends at once a callback that waits for their decoding, so
// that closing the device (which waits for a running callback) does not wait for decoding either.
bool Library::Free() {
    mixer_.RemoveAll();
    if (!deviceOpen_) return false;
    Library* self = this;
    openLibrary.compare_exchange_strong(self, nullptr);
    platform_.output->Close();
    deviceOpen_ = false;
    return true;
}

}  // namespace audio
