// The audio library in a web browser: the same channels, mixer and spectrum as on the desktop, heard through
// Web Audio. The page decodes the track in pieces as it downloads (web/track.js); the stream decoder takes
// those samples, a playing channel sounds through AudioBufferSourceNodes on the same pieces, and the mixer's
// clock is kept at the frame being heard, from the output's timestamps, without mixing anything.
#pragma once

#include <map>
#include <string>

#include "audio/library.h"

namespace audio {

class WebOutput;

class WebAudio final : public AudioLibrary {
public:
    WebAudio();

    uint32_t GetVersion() override { return library_.GetVersion(); }
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

    // Moves the channels forward, sound and position together, until the furthest is at the device frame
    // nearest to `seconds` from its start (it stays where it is when already past it). For tests, which
    // cannot wait minutes for a moment of the show.
    void SeekForward(double seconds);

private:
    double Seconds(Handle handle);

    WebOutput* output_;  // owned by library_
    Library library_;
    std::map<Handle, std::string> tracks_;  // the page's track each channel plays
};

// The process's library in the browser (SystemAudio gives the same one).
WebAudio& BrowserAudio();

}  // namespace audio
