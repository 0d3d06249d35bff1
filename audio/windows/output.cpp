#include <windows.h>
// After windows.h:
#include <mmreg.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/mixer.h"
#include "audio/windows/platform.h"

namespace audio {
namespace {

constexpr int kBuffers = 8;
constexpr int kBufferFrames = 1024;  // about 23 ms each, about 186 ms queued in all; the device's own
                                     // position of the frame played tells the library what is heard

WAVEFORMATEX Format(bool floatSamples) {
    WAVEFORMATEX format{};
    format.wFormatTag = floatSamples ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kDeviceRate;
    format.wBitsPerSample = floatSamples ? 32 : 16;
    format.nBlockAlign = static_cast<WORD>(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    return format;
}

class WinmmOutput;
// The device now open, for the exit handler: std::atexit passes its handler no context.
std::atomic<WinmmOutput*> openOutput{nullptr};
void CloseAtExit();

// Queues kBuffers buffers on the device and, on its own thread, refills each one the device hands back with
// the next frames of the mix. The device signals an event whenever it is done with a buffer.
class WinmmOutput final : public OutputDevice {
public:
    ~WinmmOutput() override { Close(); }

    bool Open(Render render) override {
        const std::lock_guard lock(mutex_);
        if (device_ != nullptr || openOutput.load() != nullptr) return false;
        event_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (event_ == nullptr) return false;
        // Float where the device takes it, else 16-bit samples converted here.
        if (!OpenDevice(true) && !OpenDevice(false)) {
            CloseHandle(event_);
            event_ = nullptr;
            return false;
        }
        render_ = std::move(render);
        mix_.assign(2 * kBufferFrames, 0.0f);
        for (Buffer& buffer : buffers_) {
            buffer.bytes.assign(static_cast<size_t>(kBufferFrames) * format_.nBlockAlign, 0);
            buffer.header = WAVEHDR{};
            buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.bytes.data());
            buffer.header.dwBufferLength = static_cast<DWORD>(buffer.bytes.size());
            if (waveOutPrepareHeader(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
                Release();
                return false;
            }
        }
        stop_ = false;
        handed_ = 0;
        thread_ = std::thread([this] { Run(); });
        static const bool handlerRegistered = std::atexit(CloseAtExit) == 0;
        (void)handlerRegistered;
        openOutput = this;
        return true;
    }

    void Close() override {
        WinmmOutput* self = this;
        openOutput.compare_exchange_strong(self, nullptr);
        Stop();
    }

    // Stops the thread, then the device; idempotent, whether from Close or from the exit handler.
    void Stop() {
        const std::lock_guard lock(mutex_);
        if (device_ == nullptr) return;
        stop_ = true;
        SetEvent(event_);
        thread_.join();
        Release();
    }

private:
    struct Buffer {
        std::vector<unsigned char> bytes;
        WAVEHDR header{};
    };

    bool OpenDevice(bool floatSamples) {
        format_ = Format(floatSamples);
        return waveOutOpen(&device_, WAVE_MAPPER, &format_, reinterpret_cast<DWORD_PTR>(event_), 0,
                           CALLBACK_EVENT) == MMSYSERR_NOERROR;
    }

    // Returns every queued buffer, unprepares them and closes the device and the event.
    void Release() {
        waveOutReset(device_);
        for (Buffer& buffer : buffers_) {
            if (buffer.header.dwFlags & WHDR_PREPARED) {
                waveOutUnprepareHeader(device_, &buffer.header, sizeof(WAVEHDR));
            }
        }
        waveOutClose(device_);
        device_ = nullptr;
        CloseHandle(event_);
        event_ = nullptr;
        render_ = nullptr;
    }

    void Run() {
        for (Buffer& buffer : buffers_) Queue(buffer);
        for (;;) {
            WaitForSingleObject(event_, INFINITE);
            if (stop_) return;
            for (Buffer& buffer : buffers_) {
                if (buffer.header.dwFlags & WHDR_DONE) Queue(buffer);
            }
        }
    }

    void Queue(Buffer& buffer) {
        // What the device still holds: the frames handed over less those it has played, by its own count
        // (32-bit, so it wraps after 27 hours; the difference does not care).
        MMTIME played{};
        played.wType = TIME_SAMPLES;
        uint32_t queued = 0;
        if (waveOutGetPosition(device_, &played, sizeof played) == MMSYSERR_NOERROR) {
            const uint32_t frames = played.wType == TIME_SAMPLES ? played.u.sample
                                    : played.wType == TIME_BYTES ? played.u.cb / format_.nBlockAlign
                                                                 : handed_;
            const uint32_t held = handed_ - frames;
            queued = held <= kBuffers * kBufferFrames ? held : 0;
        }
        render_(mix_.data(), kBufferFrames, static_cast<int>(queued));
        handed_ += kBufferFrames;
        if (format_.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
            std::memcpy(buffer.bytes.data(), mix_.data(), buffer.bytes.size());
        } else {
            auto* samples = reinterpret_cast<int16_t*>(buffer.bytes.data());
            for (size_t i = 0; i < mix_.size(); ++i) {
                samples[i] = static_cast<int16_t>(std::clamp(mix_[i] * 32768.0f, -32768.0f, 32767.0f));
            }
        }
        buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        waveOutWrite(device_, &buffer.header, sizeof(WAVEHDR));
    }

    std::mutex mutex_;  // Open and Stop
    HWAVEOUT device_ = nullptr;
    HANDLE event_ = nullptr;
    WAVEFORMATEX format_{};
    std::array<Buffer, kBuffers> buffers_;
    std::vector<float> mix_;
    uint32_t handed_ = 0;  // frames handed to the device since it opened
    Render render_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void CloseAtExit() {
    if (WinmmOutput* output = openOutput.exchange(nullptr)) output->Stop();
}

}  // namespace

std::unique_ptr<OutputDevice> MakeWinmmOutput() {
    return std::make_unique<WinmmOutput>();
}

}  // namespace audio
