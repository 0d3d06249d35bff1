#include "tools/capture/show_renderer.h"

#include <algorithm>
#include <cmath>

#include "audio/levels.h"
#include "audio/mixer.h"
#include "audio/sdl/platform.h"
#include "audio/spectrum.h"
#include "platform/gl.h"

std::unique_ptr<ShowRenderer> ShowRenderer::Create(int width, int height, std::string& error) {
    std::unique_ptr<HeadlessGL> gl = HeadlessGL::Create(1, 1, HeadlessGL::Format::RGBA8, error);
    if (gl == nullptr) {
        error = "no usable OpenGL: " + error;
        return nullptr;
    }
    if (width > gl->MaxSize() || height > gl->MaxSize() || !gl->Resize(width, height)) {
        error = "a size of " + std::to_string(width) + "x" + std::to_string(height) +
                " is beyond what the OpenGL context allows (at most " + std::to_string(gl->MaxSize()) +
                " a side)";
        return nullptr;
    }
    return std::unique_ptr<ShowRenderer>(new ShowRenderer(std::move(gl)));
}

void ShowRenderer::Draw(SceneId id, double time, const std::array<float, 3>& levels) {
    std::unique_ptr<SceneBase>& scene = scenes_[static_cast<int>(id)];
    if (scene == nullptr) {
        scene = MakeScene(id);
        scene->Init();
    }
    const auto music = [&] { return MusicReading{time, levels}; };
    const auto sceneAt = [&](double) { return scene.get(); };
    if (gentle_) {
        gentle_->Draw(Width(), Height(), music, sceneAt);
    } else {
        DrawShowFrame(Width(), Height(), music, sceneAt);
    }
}

std::unique_ptr<TrackLevels> TrackLevels::Open(const std::string& path, std::string& error, double from,
                                               double until) {
    // The frames from the spectrum window at `from` to the last one that starts by `until`.
    int64_t first = 0;
    const auto decode = [from, until, &first](audio::OpenResult opened) {
        if (!opened.decoder) return audio::DecodeAll(std::move(opened));
        const int rate = opened.decoder->SampleRate();
        const auto frame = [rate](double time) {
            return static_cast<int64_t>(std::min(std::floor(std::max(time, 0.0) * rate), 1e18));
        };
        first = frame(from);
        return audio::DecodeAll(std::move(opened), frame(until) + 1 + audio::kFftSize - first, first);
    };
    audio::DecodeResult stream = decode(audio::OpenStream(path.c_str()));
    if (stream.track) return std::make_unique<TrackLevels>(std::move(stream.track), first);
    audio::DecodeResult module = decode(audio::OpenModule(path.c_str(), audio::kDeviceRate));
    if (module.track) return std::make_unique<TrackLevels>(std::move(module.track), first);
    error = path + ": cannot open the track: not a stream (" + stream.error + "), not a module (" +
            module.error + ")";
    return nullptr;
}

std::array<float, 3> TrackLevels::At(double time) const {
    // The frame being played at `time`, in the track's own rate, as the playing position counts it.
    const auto frame = static_cast<int64_t>(std::floor(time * track_->sampleRate));
    float spectrum[audio::kSpectrumBins];
    audio::Spectrum(*track_, frame - first_, spectrum);
    std::array<float, 3> levels;
    audio::SpectrumLevels(spectrum, levels.data());
    return levels;
}

void FlipToRgb(const uint8_t* rgba, int width, int height, uint8_t* rgb) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = rgba + static_cast<size_t>(height - 1 - y) * width * 4;
        uint8_t* out = rgb + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}
