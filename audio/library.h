// The audio library on any platform: channels streamed from their files (each decoded ahead on a thread of
// its own), mixed by the core and played through the platform's output device.
#pragma once

#include <string>
#include <vector>

#include "audio/audio_library.h"
#include "audio/mixer.h"
#include "audio/platform.h"

namespace audio {

// Called from one thread; the device's thread only runs the mixer. The device plays at kDeviceRate only.
// A channel's position is the frame being heard: the frames the device has played, less what it still holds,
// advanced between its callbacks by a monotonic clock; after the track's end it goes on as if silence
// followed. A track that turns bad part-way plays what decoded, then silence, with one line on standard
// error.
// Channels open from whole files: loading from memory, an offset or a length is refused. A track that opens
// neither as a stream nor, right after, as a module gets one line on standard error saying why.
class Library final : public AudioLibrary {
public:
    explicit Library(Platform platform);
    ~Library() override;  // frees everything, as Free does

    uint32_t GetVersion() override;
    bool Init(int device, uint32_t freq, uint32_t flags, void* window, const void* clsid) override;
    Handle StreamCreateFile(bool mem, const char* file, uint64_t offset, uint64_t length,
                            uint32_t flags) override;
    Handle MusicLoad(bool mem, const char* file, uint64_t offset, uint32_t length, uint32_t flags,
                     uint32_t freq) override;
    bool StreamFree(Handle handle) override;
    bool MusicFree(Handle handle) override;
    bool ChannelPlay(Handle handle, bool restart) override;
    int32_t ChannelGetData(Handle handle, void* buffer, uint32_t length) override;
    int64_t ChannelGetPosition(Handle handle, uint32_t mode) override;
    double ChannelBytes2Seconds(Handle handle, int64_t position) override;
    int64_t ChannelSeconds2Bytes(Handle handle, double seconds) override;
    bool ChannelSetPosition(Handle handle, int64_t position, uint32_t mode) override;
    bool ChannelPause(Handle handle) override;
    bool Free() override;

private:
    Platform platform_;
    Mixer mixer_;
    bool deviceOpen_ = false;
    // The last StreamCreateFile that failed, kept for the report of a MusicLoad of the same file.
    std::string failedStream_;
    std::string failedStreamReason_;
    std::vector<float> window_;  // the frames of one spectrum
};

}  // namespace audio
