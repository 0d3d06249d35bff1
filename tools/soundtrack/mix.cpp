#include "tools/soundtrack/mix.h"

#include <array>
#include <deque>
#include <span>
#include <utility>

#include "tools/soundtrack/band_stop.h"
#include "tools/soundtrack/instruments.h"
#include "tools/soundtrack/loudness.h"
#include "tools/soundtrack/reverb.h"

namespace soundtrack {
namespace {

// The picture bands, each no wider than a sixth of an octave where it is 3 dB down; the noise-like parts keep
// a tenth of their level there.
constexpr std::array<Notch, 3> kPictureBands = {{{BinHz(20), 14.0}, {BinHz(50), 40.0}, {BinHz(200), 45.0}}};
constexpr float kAirFloor = 0.1f;
constexpr ReverbShape kHall{.predelay = 0.04, .size = 1.4, .feedback = 0.93, .damping = 0.35};
constexpr float kCeiling = 0.8f;  // -1.9 dBFS, leaving the encoder room for its own overshoot
constexpr double kFadeSeconds = 1.5;

// The notes of one horn, phrase by phrase: a phrase ends where a note does not start as the last one ends.
void PlayHorn(const Score& score, Voice voice, float gain, float pan, Buses& out) {
    std::vector<Event> notes;
    for (const Event& event : score.events) {
        if (event.voice == voice) notes.push_back(event);
    }
    for (size_t first = 0, last = 0; first < notes.size(); first = last) {
        for (last = first + 1; last < notes.size(); ++last) {
            if (notes[last].start != notes[last - 1].start + notes[last - 1].length) break;
        }
        PlayHornPhrase(std::span(notes).subspan(first, last - first), gain, pan, out);
    }
}

// A 12 dB/octave high-pass at 20 Hz: no DC, no subsonic drift.
void RemoveDc(Bus& bus) {
    for (std::vector<float>* channel : {&bus.left, &bus.right}) {
        Svf filter;
        filter.Tune(20.0, 0.707);
        for (float& sample : *channel) sample = filter.Process(sample).high;
    }
}

}  // namespace

std::vector<float> Limit(Bus& bus, float ceiling, int64_t lookahead, double release) {
    const int64_t frames = bus.Frames();
    // The gain each frame needs on its own.
    std::vector<float> need(static_cast<size_t>(frames));
    for (int64_t n = 0; n < frames; ++n) {
        const float peak = std::max(std::abs(bus.left[n]), std::abs(bus.right[n]));
        need[static_cast<size_t>(n)] = peak > ceiling ? ceiling / peak : 1.0f;
    }
    // The gain follows the least need over [n, n + lookahead] at once and recovers slowly; the gain applied
    // is its mean over the last lookahead + 1 frames, each of which already covers the peak it ramps down to.
    const double recover = 1.0 - std::exp(-1.0 / (release * kRate));
    const size_t window = static_cast<size_t>(lookahead + 1);
    std::deque<int64_t> least;  // frames of the window, of increasing need
    const auto enter = [&](int64_t frame) {
        while (!least.empty() &&
               need[static_cast<size_t>(least.back())] >= need[static_cast<size_t>(frame)]) {
            least.pop_back();
        }
        least.push_back(frame);
    };
    for (int64_t frame = 0; frame < std::min(lookahead, frames); ++frame) enter(frame);
    std::vector<double> recent(window, 1.0);
    std::vector<float> trace(static_cast<size_t>(frames));
    double gain = 1.0, sum = static_cast<double>(window);
    for (int64_t n = 0; n < frames; ++n) {
        if (n + lookahead < frames) enter(n + lookahead);
        while (least.front() < n) least.pop_front();
        gain = std::min<double>(need[static_cast<size_t>(least.front())], gain + (1.0 - gain) * recover);
        double& oldest = recent[static_cast<size_t>(n) % window];
        sum += gain - oldest;
        oldest = gain;
        const float applied = static_cast<float>(sum / static_cast<double>(window));
        bus.left[n] *= applied;
        bus.right[n] *= applied;
        trace[static_cast<size_t>(n)] = applied;
    }
    return trace;
}

Mixdown Render(const Score& score) {
    Buses buses(score.frames);
    for (const Event& event : score.events) Play(event, score, buses);
    PlayHorn(score, Voice::Horn, 0.26f, -0.5f, buses);
    PlayHorn(score, Voice::SecondHorn, 0.2f, 0.5f, buses);
    PlayWind(score, buses);
    Reverberate(buses.send, kHall, 1.0f, buses.bed);
    // The air goes through the band stop but for a part of it that goes round, so that its notches keep that
    // part of the level.
    Bus& mix = buses.bed;
    const Bus& air = buses.air;
    for (int64_t n = 0; n < mix.Frames(); ++n) {
        mix.left[n] += (1.0f - kAirFloor) * air.left[n];
        mix.right[n] += (1.0f - kAirFloor) * air.right[n];
    }
    BandStop(kPictureBands).Apply(mix);
    for (int64_t n = 0; n < mix.Frames(); ++n) {
        mix.left[n] += kAirFloor * air.left[n] + buses.strokes.left[n];
        mix.right[n] += kAirFloor * air.right[n] + buses.strokes.right[n];
    }
    RemoveDc(mix);

    std::vector<float> frames(static_cast<size_t>(2 * mix.Frames()));
    for (int64_t n = 0; n < mix.Frames(); ++n) {
        frames[static_cast<size_t>(2 * n)] = mix.left[n];
        frames[static_cast<size_t>(2 * n + 1)] = mix.right[n];
    }
    // The level that brings the piece to the target loudness, measured before the limiter, unless that would
    // have the limiter take off more than it may.
    float peak = 0.0f;
    for (const float sample : frames) peak = std::max(peak, std::abs(sample));
    const float level =
        std::min(static_cast<float>(std::pow(10.0, (kTargetLoudness - Loudness(frames).Integrated()) / 20.0)),
                 kCeiling * static_cast<float>(std::pow(10.0, kMostGainReduction / 20.0)) / peak);
    for (int64_t n = 0; n < mix.Frames(); ++n) {
        mix.left[n] *= level;
        mix.right[n] *= level;
    }
    Mixdown out{.frames = {}, .gain = Limit(mix, kCeiling, Frames(0.004), 0.15)};

    const int64_t fade = Frames(kFadeSeconds);
    for (int64_t n = 0; n < mix.Frames(); ++n) {
        const float tail =
            std::min(1.0f, static_cast<float>(mix.Frames() - 1 - n) / static_cast<float>(fade));
        frames[static_cast<size_t>(2 * n)] = mix.left[n] * tail;
        frames[static_cast<size_t>(2 * n + 1)] = mix.right[n] * tail;
    }
    out.frames = std::move(frames);
    return out;
}

}  // namespace soundtrack
