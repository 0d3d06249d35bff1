#include "audio/web/web_audio.h"

#include <emscripten.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

#include "audio/system_audio.h"

// The page's side of the audio (web/show.js): the tracks it decodes by path, the audio context and the source
// nodes by channel handle.
EM_JS(int, web_audio_open, (), { return Module.audio && Module.audio.open() ? 1 : 0; });
EM_JS(int, web_audio_track_channels, (const char* path),
      { return Module.audio ? Module.audio.channels(UTF8ToString(path)) : 0; });
EM_JS(int, web_audio_track_rate, (const char* path), { return Module.audio.rate(UTF8ToString(path)); });
EM_JS(double, web_audio_track_decoded, (const char* path),
      { return Module.audio.decoded(UTF8ToString(path)); });
EM_JS(int, web_audio_track_read, (const char* path, double first, int count, float* out),
      { return Module.audio.read(UTF8ToString(path), first, count, out); });
EM_JS(void, web_audio_play, (uint32_t handle, const char* path, double offset),
      { Module.audio.play(handle, UTF8ToString(path), offset); });
EM_JS(void, web_audio_stop, (uint32_t handle), { Module.audio.stop(handle); });
EM_JS(void, web_audio_stop_all, (), {
    if (Module.audio) Module.audio.stopAll();
});
EM_JS(double, web_audio_heard_seconds, (), { return Module.audio.heard(); });
EM_JS(double, web_audio_context_seconds, (), { return Module.audio.now(); });

namespace audio {

// The output device of the browser's library. The browser plays the channels' tracks itself; the mixer is
// only told which frames have been played and which one is heard, and mixes nothing.
class WebOutput final : public OutputDevice {
public:
    bool Open(Render render) override {
        if (!web_audio_open()) return false;
        render_ = std::move(render);
        return true;
    }
    void Close() override {
        web_audio_stop_all();
        render_ = nullptr;
    }

    // Brings the mixer to the frame being heard now.
    void CatchUp() {
        const int64_t heard = Frame(web_audio_heard_seconds());
        Advance(heard, heard);
    }
    // A channel started now sounds once the context has played out what it holds: the mixer goes on to the
    // context's own frame, the clock staying at the one heard, so that a channel started next is heard from
    // its first frame as its position says.
    void HoldForLatency() { Advance(Frame(web_audio_context_seconds()), Frame(web_audio_heard_seconds())); }
    // Moves the mixer and the clock `frames` ahead at once.
    void Skip(int64_t frames) {
        skipped_ += frames;
        CatchUp();
    }

private:
    static constexpr int64_t kMostAtOnce = int64_t{1} << 30;  // frames in one call of the mixer

    int64_t Frame(double contextSeconds) const {
        return static_cast<int64_t>(std::floor(contextSeconds * kDeviceRate)) + skipped_;
    }
    // Counts the device frames up to `to` as played, telling the clock that frame `heard` is the one heard
    // now.
    void Advance(int64_t to, int64_t heard) {
        if (!render_) return;
        while (mixed_ < to) {
            const auto frames = static_cast<int>(std::min(to - mixed_, kMostAtOnce));
            render_(nullptr, frames, static_cast<int>(mixed_ - std::min(heard, mixed_ + frames)));
            mixed_ += frames;
        }
    }

    Render render_;
    int64_t mixed_ = 0;    // device frames counted as played
    int64_t skipped_ = 0;  // device frames skipped ahead of the context's clock
};

namespace {

// A track the page decodes as it arrives, read a block at a time as far as the page has decoded it.
class PageTrack final : public Decoder {
public:
    PageTrack(std::string path, int channels) : path_(std::move(path)), channels_(channels) {}

    int Channels() const override { return channels_; }
    int SampleRate() const override { return web_audio_track_rate(path_.c_str()); }
    // The page says how many frames it has decoded, or -1 once it has decoded all it will.
    int64_t Available() const override {
        const double decoded = web_audio_track_decoded(path_.c_str());
        if (decoded < 0.0) return Decoder::Available();
        return std::max<int64_t>(static_cast<int64_t>(decoded) - position_, 0);
    }
    int64_t Read(float* out, int64_t frames, std::string&) override {
        const auto count = static_cast<int>(std::min<int64_t>(frames, std::numeric_limits<int>::max()));
        const int read = web_audio_track_read(path_.c_str(), static_cast<double>(position_), count, out);
        position_ += read;
        return read;
    }

private:
    const std::string path_;
    const int channels_;
    int64_t position_ = 0;
};

OpenResult OpenPageTrack(const char* path) {
    const int channels = web_audio_track_channels(path);
    if (channels <= 0) return OpenResult::Failure("the page has not loaded it");
    return {std::make_unique<PageTrack>(path, channels), {}};
}

OpenResult NoModules(const char*, int) {
    return OpenResult::Failure("tracker modules are not played in the browser");
}

Platform BrowserPlatform(WebOutput*& output) {
    auto device = std::make_unique<WebOutput>();
    output = device.get();
    // The clock between the mixer's steps is the page's heard time itself: nothing is carried past it.
    const auto heard = [] { return std::chrono::nanoseconds(std::llround(web_audio_heard_seconds() * 1e9)); };
    return {std::move(device), OpenPageTrack, NoModules, heard};
}

}  // namespace

WebAudio::WebAudio() : library_(BrowserPlatform(output_)) {}

bool WebAudio::Init(int device, uint32_t freq, uint32_t flags, void* window, const void* clsid) {
    return library_.Init(device, freq, flags, window, clsid);
}

Handle WebAudio::StreamCreateFile(bool mem, const char* file, uint64_t offset, uint64_t length,
                                  uint32_t flags) {
    const Handle handle = library_.StreamCreateFile(mem, file, offset, length, flags);
    if (handle != 0) tracks_[handle] = file;
    return handle;
}

Handle WebAudio::MusicLoad(bool mem, const char* file, uint64_t offset, uint32_t length, uint32_t flags,
                           uint32_t freq) {
    return library_.MusicLoad(mem, file, offset, length, flags, freq);
}

bool WebAudio::StreamFree(Handle handle) {
    output_->CatchUp();
    if (!library_.StreamFree(handle)) return false;
    web_audio_stop(handle);
    tracks_.erase(handle);
    return true;
}

bool WebAudio::MusicFree(Handle handle) {
    return library_.MusicFree(handle);
}

bool WebAudio::ChannelPlay(Handle handle, bool restart) {
    output_->CatchUp();
    output_->HoldForLatency();
    if (!library_.ChannelPlay(handle, restart)) return false;
    if (const auto track = tracks_.find(handle); track != tracks_.end()) {
        web_audio_play(handle, track->second.c_str(), Seconds(handle));
    }
    return true;
}

int32_t WebAudio::ChannelGetData(Handle handle, void* buffer, uint32_t length) {
    output_->CatchUp();
    return library_.ChannelGetData(handle, buffer, length);
}

int64_t WebAudio::ChannelGetPosition(Handle handle, uint32_t mode) {
    output_->CatchUp();
    return library_.ChannelGetPosition(handle, mode);
}

double WebAudio::ChannelBytes2Seconds(Handle handle, int64_t position) {
    return library_.ChannelBytes2Seconds(handle, position);
}

int64_t WebAudio::ChannelSeconds2Bytes(Handle handle, double seconds) {
    return library_.ChannelSeconds2Bytes(handle, seconds);
}

// The source node starts again at the new position, or stays stopped.
bool WebAudio::ChannelSetPosition(Handle handle, int64_t position, uint32_t mode) {
    output_->CatchUp();
    if (!library_.ChannelSetPosition(handle, position, mode)) return false;
    const bool playing = library_.ChannelPause(handle);
    if (playing) {
        output_->HoldForLatency();
        library_.ChannelPlay(handle, false);
        if (const auto track = tracks_.find(handle); track != tracks_.end()) {
            web_audio_play(handle, track->second.c_str(), Seconds(handle));
        }
    }
    return true;
}

bool WebAudio::ChannelPause(Handle handle) {
    output_->CatchUp();
    if (!library_.ChannelPause(handle)) return false;
    web_audio_stop(handle);
    return true;
}

bool WebAudio::Free() {
    tracks_.clear();
    return library_.Free();  // closing the device stops every source node
}

double WebAudio::Seconds(Handle handle) {
    return library_.ChannelBytes2Seconds(handle, library_.ChannelGetPosition(handle, kPosByte));
}

void WebAudio::SeekForward(double seconds) {
    output_->CatchUp();
    const auto target = static_cast<int64_t>(std::llround(seconds * kDeviceRate));
    int64_t behind = 0;
    for (const auto& [handle, path] : tracks_) {
        behind = std::max(behind, target - static_cast<int64_t>(std::llround(Seconds(handle) * kDeviceRate)));
    }
    if (behind <= 0) return;
    output_->Skip(behind);
    for (const auto& [handle, path] : tracks_) web_audio_play(handle, path.c_str(), Seconds(handle));
}

WebAudio& BrowserAudio() {
    static WebAudio* const library = new WebAudio;
    return *library;
}

AudioLibrary& SystemAudio() {
    return BrowserAudio();
}

}  // namespace audio
