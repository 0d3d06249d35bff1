// The audio library the demo plays its track through: the calls the main window and the music record make,
// with the semantics they rely on. The real implementation decodes and plays on a thread of its own; a test
// can put a recording fake in its place.
//
// The units time passes through on its way from the device to the picture:
// - device frames: stereo frames at kDeviceRate (44100 Hz), the mix and the output device's clock; counted
//   from the first frame ever mixed (DeviceClock, Mixer).
// - track frames: frames of a channel's own track at its own rate and channel count; the device frame n of a
//   channel started at device frame s is track frame (n - s) x rate / kDeviceRate, rounded down.
// - bytes: what ChannelGetPosition reports, track frames x channels x 2, as if each sample were 16 bits (the
//   samples are floats throughout; the 2 only keeps the interface's unit).
// - seconds: what ChannelBytes2Seconds turns those bytes into, bytes / (rate x channels x 2), the music time
//   the schedule and the scenes take.
#pragma once

#include <cstdint>

namespace audio {

using Handle = uint32_t;  // a channel: a stream or a module music; 0 names none

constexpr uint32_t kVersion = 0x02040000;      // major 2, minor 4 in the high 16 bits
constexpr uint32_t kMusicRamp = 0x200;         // module flag: ramp volume changes (anti-click)
constexpr uint32_t kDataFFT2048 = 0x80000003;  // ChannelGetData: 1024 magnitudes of a 2048-frame FFT
constexpr uint32_t kPosByte = 0;               // ChannelGetPosition: position in bytes
constexpr int kDefaultDevice = -1;
constexpr int kDeviceRate = 44100;  // the output rate the library plays at (interleaved stereo float)

class AudioLibrary {
public:
    virtual ~AudioLibrary() = default;

    // Major and minor version in the high 16 bits.
    virtual uint32_t GetVersion() = 0;
    // Opens the output device (-1: the default) at `freq` Hz; true when it is ready.
    virtual bool Init(int device, uint32_t freq, uint32_t flags, void* window, const void* clsid) = 0;
    // Opens a file as a stream (decoded by content, whatever its extension); 0 on failure.
    virtual Handle StreamCreateFile(bool mem, const char* file, uint64_t offset, uint64_t length,
                                    uint32_t flags) = 0;
    // Opens a file as a tracker module rendered at `freq` (1: the device's rate); 0 on failure.
    virtual Handle MusicLoad(bool mem, const char* file, uint64_t offset, uint32_t length, uint32_t flags,
                             uint32_t freq) = 0;
    // Free a stream or a module channel; a handle of the other kind, or of none, is left alone.
    virtual bool StreamFree(Handle handle) = 0;
    virtual bool MusicFree(Handle handle) = 0;
    // Starts the channel; playback then runs by itself. False for an invalid handle.
    virtual bool ChannelPlay(Handle handle, bool restart) = 0;
    // With kDataFFT2048 writes 1024 floats into `buffer` and returns the bytes written; -1 for an invalid
    // handle, which leaves the buffer as it was.
    virtual int32_t ChannelGetData(Handle handle, void* buffer, uint32_t length) = 0;
    // The position of the audio being heard, in bytes of the channel's 16-bit format; -1 for an invalid
    // handle.
    virtual int64_t ChannelGetPosition(Handle handle, uint32_t mode) = 0;
    // Bytes of the channel's format to seconds at the channel's rate; -1 for an invalid handle.
    virtual double ChannelBytes2Seconds(Handle handle, int64_t position) = 0;
    // Seconds to bytes of the channel's format, rounded up to a whole frame: a position set from a time is
    // never before it. -1 for an invalid handle.
    virtual int64_t ChannelSeconds2Bytes(Handle handle, double seconds) = 0;
    // Moves the channel to `position` (bytes, kPosByte), playing or not: its sound, its position and its
    // spectrum go on from there at once. False for an invalid handle or position.
    virtual bool ChannelSetPosition(Handle handle, int64_t position, uint32_t mode) = 0;
    // Stops a playing channel where it is; ChannelPlay without restart goes on from there. False when it is
    // not playing.
    virtual bool ChannelPause(Handle handle) = 0;
    // Closes the device and frees every channel.
    virtual bool Free() = 0;
};

}  // namespace audio
