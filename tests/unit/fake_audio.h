// An audio library that records every call, with its arguments, and answers as the test sets it up.
#pragma once

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/audio_library.h"

class FakeAudio : public audio::AudioLibrary {
public:
    uint32_t version = audio::kVersion | 0x0111;
    bool initResult = true;
    audio::Handle stream = 0;  // what StreamCreateFile returns
    audio::Handle module = 0;  // what MusicLoad returns
    int64_t position = 0;
    double seconds = 0.0;
    float binValue = 0.0f;  // written to every bin of a valid channel's spectrum
    bool echo = false;      // also write each call to standard error, for tests that end the process
    std::vector<std::string> calls;

    uint32_t GetVersion() override { return Call("GetVersion"), version; }
    bool Init(int device, uint32_t freq, uint32_t flags, void*, const void* clsid) override {
        return Call("Init " + Args(device, freq, flags) + (clsid ? " clsid" : "")), initResult;
    }
    audio::Handle StreamCreateFile(bool mem, const char* file, uint64_t offset, uint64_t length,
                                   uint32_t flags) override {
        return Call("StreamCreateFile " + std::string(file) + " " + Args(mem, offset, length, flags)), stream;
    }
    audio::Handle MusicLoad(bool mem, const char* file, uint64_t offset, uint32_t length, uint32_t flags,
                            uint32_t freq) override {
        return Call("MusicLoad " + std::string(file) + " " + Args(mem, offset, length, flags, freq)), module;
    }
    bool StreamFree(audio::Handle h) override { return Call("StreamFree " + Args(h)), true; }
    bool MusicFree(audio::Handle h) override { return Call("MusicFree " + Args(h)), true; }
    bool ChannelPlay(audio::Handle h, bool restart) override {
        return Call("ChannelPlay " + Args(h, restart)), h != 0;
    }
    int32_t ChannelGetData(audio::Handle h, void* buffer, uint32_t length) override {
        Call("ChannelGetData " + Args(h, length));
        if (!Valid(h)) return -1;
        float* bins = static_cast<float*>(buffer);
        for (int i = 0; i < 1024; ++i) bins[i] = binValue;
        return 4096;
    }
    int64_t ChannelGetPosition(audio::Handle h, uint32_t mode) override {
        return Call("ChannelGetPosition " + Args(h, mode)), Valid(h) ? position : -1;
    }
    double ChannelBytes2Seconds(audio::Handle h, int64_t pos) override {
        return Call("ChannelBytes2Seconds " + Args(h, pos)), Valid(h) ? seconds : -1.0;
    }
    // A 44100 Hz stereo channel in 16-bit bytes: setting its position sets both answers above.
    int64_t ChannelSeconds2Bytes(audio::Handle h, double s) override {
        return Call("ChannelSeconds2Bytes " + Args(h, s)),
               Valid(h) ? static_cast<int64_t>(std::ceil(s * 44100)) * 4 : -1;
    }
    bool ChannelSetPosition(audio::Handle h, int64_t pos, uint32_t mode) override {
        Call("ChannelSetPosition " + Args(h, pos, mode));
        if (!Valid(h)) return false;
        position = pos;
        seconds = static_cast<double>(pos) / (44100 * 4);
        return true;
    }
    bool ChannelPause(audio::Handle h) override { return Call("ChannelPause " + Args(h)), Valid(h); }
    bool Free() override { return Call("Free"), true; }

private:
    bool Valid(audio::Handle h) const { return h != 0 && (h == stream || h == module); }
    void Call(const std::string& call) {
        calls.push_back(call);
        if (echo) std::fprintf(stderr, "%s\n", call.c_str());
    }
    template <class... T>
    static std::string Args(T... values) {
        std::string text;
        ((text += (text.empty() ? "" : " ") + std::to_string(values)), ...);
        return text;
    }
};
