#include <SDL.h>

#include <atomic>
#include <cstdlib>

#include "audio/mixer.h"
#include "audio/sdl/platform.h"

namespace audio {
namespace {

constexpr int kBufferFrames = 1024;

// The device now open, for the exit handler: std::atexit passes its handler no context.
std::atomic<SDL_AudioDeviceID> openDevice{0};

void CloseAtExit() {
    if (const SDL_AudioDeviceID id = openDevice.exchange(0)) SDL_CloseAudioDevice(id);
}

class SdlOutput final : public OutputDevice {
public:
    ~SdlOutput() override { Close(); }

    bool Open(Render render) override {
        if (id_ != 0 || openDevice.load() != 0) return false;
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        render_ = std::move(render);
        SDL_AudioSpec want{};
        want.freq = kDeviceRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = kBufferFrames;
        want.callback = [](void* self, Uint8* stream, int bytes) {
            // The buffer handed over at the last callback, the size of this one, is the one being heard now.
            const int frames = bytes / static_cast<int>(2 * sizeof(float));
            static_cast<SdlOutput*>(self)->render_(reinterpret_cast<float*>(stream), frames, frames);
        };
        want.userdata = this;
        // No changes allowed: SDL converts to whatever the hardware wants.
        id_ = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
        if (id_ == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        static const bool handlerRegistered = std::atexit(CloseAtExit) == 0;
        (void)handlerRegistered;
        openDevice = id_;
        SDL_PauseAudioDevice(id_, 0);
        return true;
    }

    void Close() override {
        if (id_ == 0) return;
        // Whoever takes the id closes the device: this call or the exit handler, never both.
        SDL_AudioDeviceID expected = id_;
        if (openDevice.compare_exchange_strong(expected, 0)) SDL_CloseAudioDevice(id_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        id_ = 0;
    }

private:
    SDL_AudioDeviceID id_ = 0;
    Render render_;  // set before the device's thread starts, and only read by it
};

}  // namespace

std::unique_ptr<OutputDevice> MakeSdlOutput() {
    return std::make_unique<SdlOutput>();
}

}  // namespace audio
