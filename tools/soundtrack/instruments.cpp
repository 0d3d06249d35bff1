#include "tools/soundtrack/instruments.h"

#include <array>

namespace soundtrack {
namespace {

// Slow parameters (filter tunings, vibrato) are updated once every this many frames.
constexpr int kControlFrames = 16;

uint32_t Seed(const Event& event) {
    return static_cast<uint32_t>(event.start) * 2654435761u ^
           (static_cast<uint32_t>(event.voice) + 1) * 40503u;
}

// Adds a mono voice of `length` frames, sample by sample from `next`, to a bus (the bed unless given) and the
// send.
template <typename Next>
void ToBed(const Event& event, int64_t length, Pan pan, float send, Buses& out, Next next,
           Bus* bus = nullptr) {
    Bus& to = bus != nullptr ? *bus : out.bed;
    const int64_t span = to.Span(event.start, length);
    for (int64_t n = 0; n < span; ++n) {
        const float value = next(n);
        to.Add(event.start + n, value, pan);
        out.send[static_cast<size_t>(event.start + n)] += value * send;
    }
}

// A struck sine partial on a picture band, into the strokes.
void Ring(const Event& event, double hz, double tau, float amplitude, Pan pan, Buses& out) {
    Sine sine(hz);
    Decay decay(tau);
    const int64_t span = out.strokes.Span(event.start, Frames(tau * 9.0));
    for (int64_t n = 0; n < span; ++n)
        out.strokes.Add(event.start + n, amplitude * sine.Next() * decay.Next(), pan);
}

// A drum: a sine falling from `high` to `low` Hz (time constant `drop`) and dying away (`tau`), with a burst
// of filtered noise at the stroke.
struct DrumShape {
    double low, high, drop, tau;
    float noise, gain, send;
};
constexpr DrumShape kKick{44.0, 165.0, 0.035, 0.32, 0.5f, 0.3f, 0.0f};
constexpr DrumShape kBoom{52.0, 120.0, 0.09, 0.9, 0.8f, 0.42f, 0.35f};  // a low drum in the hall

void Drum(const Event& event, const DrumShape& shape, Buses& out) {
    const auto [low, high, drop, tau, noise, gain, send] = shape;
    Noise random(Seed(event));
    Svf thump;
    thump.Tune(1200.0, 0.7);
    Decay fall(drop), body(tau), burst(0.006);
    Rotor sine;
    float sweep = 1.0f;
    ToBed(event, Frames(tau * 6.0), {}, send, out, [&](int64_t n) {
        if (n % kControlFrames == 0) sine.Tune(low + (high - low) * sweep);
        sweep = fall.Next();
        const float attack = std::min(1.0f, static_cast<float>(n) / 30.0f);
        const float tone = sine.Next() * body.Next() * attack;
        return gain * event.velocity * (tone + noise * thump.Process(random.Next()).low * burst.Next());
    });
}

void Snare(const Event& event, Buses& out) {
    Noise random(Seed(event));
    Svf colour;
    colour.Tune(2400.0, 0.6);
    Decay fall(0.025), body(0.09), hiss(0.14);
    Rotor sine;
    float sweep = 1.0f;
    const float gain = 0.28f * event.velocity;
    ToBed(event, Frames(1.3), {}, 0.25f, out, [&](int64_t n) {
        if (n % kControlFrames == 0) sine.Tune(180.0 + 70.0 * sweep);
        sweep = fall.Next();
        const float attack = std::min(1.0f, static_cast<float>(n) / 20.0f);
        const Svf::Out noise = colour.Process(random.Next());
        const float tone = 0.6f * sine.Next() * body.Next();
        return gain * attack * (tone + (noise.band + 0.5f * noise.high) * hiss.Next());
    });
    Ring(event, BinHz(50), 0.08, 0.38f * event.velocity, {}, out);
}

void Hat(const Event& event, bool open, Buses& out) {
    Noise random(Seed(event));
    Svf air;
    air.Tune(7500.0, 0.8);
    Decay decay(open ? 0.22 : 0.035);
    const Pan pan = Pan::At(open ? -0.3f : 0.4f);
    ToBed(
        event, Frames(open ? 2.0 : 0.32), pan, 0.05f, out,
        [&](int64_t) { return 0.3f * event.velocity * air.Process(random.Next()).high * decay.Next(); },
        &out.air);
    Ring(event, BinHz(200), open ? 0.05 : 0.04, 0.5f * event.velocity, Pan::At(0.1f), out);
}

void Crash(const Event& event, Buses& out) {
    Noise left(Seed(event)), right(Seed(event) ^ 0x5bd1e995u);
    Svf airLeft, airRight;
    airLeft.Tune(3500.0, 0.7);
    airRight.Tune(3700.0, 0.7);
    Decay decay(1.1);
    const int64_t span = out.air.Span(event.start, Frames(9.0));  // down 80 dB by then
    for (int64_t n = 0; n < span; ++n) {
        const float envelope =
            0.14f * event.velocity * decay.Next() * std::min(1.0f, static_cast<float>(n) / 130.0f);
        const float l = airLeft.Process(left.Next()).high * envelope;
        const float r = airRight.Process(right.Next()).high * envelope;
        out.air.left[static_cast<size_t>(event.start + n)] += l;
        out.air.right[static_cast<size_t>(event.start + n)] += r;
        out.send[static_cast<size_t>(event.start + n)] += 0.1f * (l + r);
    }
}

// Glass: a stroke on the top band, with a fifth above and an octave below that ring in the hall.
void Ping(const Event& event, Buses& out) {
    const Pan pan = Pan::At(0.2f * static_cast<float>(event.start / kStep % 3 - 1));
    const float gain = 0.6f * event.velocity;
    Ring(event, BinHz(200), 0.1, gain, pan, out);
    Sine fifth(BinHz(200) * 1.5), low(BinHz(200) * 0.5);
    Decay fifthDecay(0.05), lowDecay(0.25);
    const int64_t span = out.strokes.Span(event.start, Frames(2.5));
    for (int64_t n = 0; n < span; ++n) {
        const float value =
            gain * (0.25f * fifth.Next() * fifthDecay.Next() + 0.2f * low.Next() * lowDecay.Next());
        out.strokes.Add(event.start + n, value, pan);
        out.send[static_cast<size_t>(event.start + n)] += 0.5f * value;
    }
}

// A tuned bar of ice: the partials of a free bar (1, 2.756, 5.404), ringing as long as the note is written.
// The notes on the picture bands ring out over the others, which colour the line without moving the pictures.
void Bell(const Event& event, Buses& out) {
    constexpr std::array<double, 3> kRatios = {1.0, 2.756, 5.404};
    constexpr std::array<float, 3> kLevels = {1.0f, 0.2f, 0.08f};
    constexpr std::array<double, 3> kShorter = {1.0, 2.5, 5.0};
    const double ring = std::clamp(0.5 * Seconds(event.length), 0.15, 1.6);

    const double hz = NoteHz(event.pitch);
    std::array<Sine, 3> partials = {Sine(hz * kRatios[0]), Sine(hz * kRatios[1]), Sine(hz * kRatios[2])};
    std::array<Decay, 3> decays = {Decay(ring / kShorter[0]), Decay(ring / kShorter[1]),
                                   Decay(ring / kShorter[2])};
    const bool onBand = std::abs(hz - BinHz(20)) < 20.0 || std::abs(hz - BinHz(50)) < 20.0;
    const float gain = (onBand ? 0.6f : 0.15f) * event.velocity;
    // Spread by pitch, the notes on the bands nearer the middle, where the mono mix the pictures hear keeps
    // them.
    const float side = std::clamp(static_cast<float>(event.pitch - 77.0) / 20.0f, -0.5f, 0.5f);
    const Pan pan = Pan::At(onBand ? 0.4f * side : side);
    const int64_t span = out.strokes.Span(event.start, Frames(ring * 8.0));
    for (int64_t n = 0; n < span; ++n) {
        float value = 0.0f;
        for (size_t p = 0; p < kRatios.size(); ++p)
            value += kLevels[p] * partials[p].Next() * decays[p].Next();
        value *= gain * std::min(1.0f, static_cast<float>(n) / 60.0f);
        out.strokes.Add(event.start + n, value, pan);
        out.send[static_cast<size_t>(event.start + n)] += 0.35f * value;
    }
}

// Two saws, each leaning to a side, and a sine in the middle, under low-passes that snap shut after each
// note's start.
void Bass(const Event& event, Buses& out) {
    const double hz = NoteHz(event.pitch);
    Saw saw(0.0), detuned(0.5);
    Sine sub(hz);
    Svf left, right;
    Decay snap(0.12);
    const Adsr shape{0.004, 0.3, 0.75, 0.05};
    Envelope envelope(shape, event.length);
    float opening = 1.0f;
    const int64_t span = out.bed.Span(event.start, Envelope::Length(shape, event.length));
    for (int64_t n = 0; n < span; ++n) {
        if (n % kControlFrames == 0) {
            left.Tune(110.0 + 900.0 * event.velocity * opening, 1.0);
            right.Tune(115.0 + 940.0 * event.velocity * opening, 1.0);
        }
        opening = snap.Next();
        const float level = 0.28f * event.velocity * envelope.Next();
        const float middle = 0.4f * sub.Next();
        const float a = left.Process(saw.Next(hz)).low, b = right.Process(detuned.Next(hz * 1.004)).low;
        const float l = level * (0.75f * a + 0.25f * b + middle);
        const float r = level * (0.75f * b + 0.25f * a + middle);
        const size_t at = static_cast<size_t>(event.start + n);
        out.bed.left[at] += l;
        out.bed.right[at] += r;
        out.send[at] += 0.015f * (l + r);
    }
}

// Four detuned saws per note, two a side, under the score's slowly moving filter: the sides share no
// oscillator, so the chord spreads wide.
void Pad(const Event& event, const Score& score, Buses& out) {
    Noise random(Seed(event));
    const double hz = NoteHz(event.pitch);
    std::array<Saw, 4> saws = {Saw(0.5 + 0.5 * random.Next()), Saw(0.5 + 0.5 * random.Next()),
                               Saw(0.5 + 0.5 * random.Next()), Saw(0.5 + 0.5 * random.Next())};
    const std::array<double, 4> pitches = {hz * std::exp2(-0.1 / 12.0), hz * std::exp2(0.04 / 12.0),
                                           hz * std::exp2(0.1 / 12.0), hz * std::exp2(-0.04 / 12.0)};
    Svf left, right;
    const Adsr shape{0.5, 2.0, 0.8, 0.6};
    Envelope envelope(shape, event.length);
    const float gain = 0.07f * event.velocity;
    const int64_t span = out.bed.Span(event.start, Envelope::Length(shape, event.length));
    for (int64_t n = 0; n < span; ++n) {
        const int64_t frame = event.start + n;
        if (n % kControlFrames == 0) {
            const double drift = 1.0 + 0.2 * std::sin(2.0 * kPi * Seconds(frame) / 11.3 + event.pitch);
            const double cutoff = std::max(120.0, score.brightness.At(frame) * drift);
            left.Tune(cutoff, 0.8);
            right.Tune(cutoff * 1.07, 0.8);
        }
        const float a = saws[0].Next(pitches[0]) + 0.7f * saws[1].Next(pitches[1]);
        const float b = saws[2].Next(pitches[2]) + 0.7f * saws[3].Next(pitches[3]);
        const float level = gain * envelope.Next();
        const float l = left.Process(a).low * level;
        const float r = right.Process(b).low * level;
        out.bed.left[static_cast<size_t>(frame)] += l;
        out.bed.right[static_cast<size_t>(frame)] += r;
        out.send[static_cast<size_t>(frame)] += 0.35f * (l + r);
    }
}

// Noise swept up through a band-pass, louder as it climbs, cut at the next section's first beat.
void Riser(const Event& event, Buses& out) {
    Noise left(Seed(event)), right(Seed(event) ^ 0x27d4eb2du);
    Svf bandLeft, bandRight;
    const int64_t span = out.air.Span(event.start, event.length);
    for (int64_t n = 0; n < span; ++n) {
        const double u = static_cast<double>(n) / static_cast<double>(event.length);
        if (n % kControlFrames == 0) {
            const double hz = 300.0 * std::pow(8000.0 / 300.0, u);
            bandLeft.Tune(hz, 1.5);
            bandRight.Tune(hz * 1.1, 1.5);
        }
        const float fade = std::min(1.0f, static_cast<float>(span - n) / 200.0f);
        const float level = static_cast<float>(0.14 * u * u) * event.velocity * fade;
        const float l = bandLeft.Process(left.Next()).band * level;
        const float r = bandRight.Process(right.Next()).band * level;
        const size_t at = static_cast<size_t>(event.start + n);
        out.air.left[at] += l;
        out.air.right[at] += r;
        out.send[at] += 0.3f * (l + r);
    }
}

}  // namespace

void Play(const Event& event, const Score& score, Buses& out) {
    switch (event.voice) {
        case Voice::Kick:
            return Drum(event, kKick, out);
        case Voice::Boom:
            return Drum(event, kBoom, out);
        case Voice::Snare:
            return Snare(event, out);
        case Voice::Hat:
            return Hat(event, false, out);
        case Voice::OpenHat:
            return Hat(event, true, out);
        case Voice::Crash:
            return Crash(event, out);
        case Voice::Ping:
            return Ping(event, out);
        case Voice::Bell:
            return Bell(event, out);
        case Voice::Bass:
            return Bass(event, out);
        case Voice::Pad:
            return Pad(event, score, out);
        case Voice::Riser:
            return Riser(event, out);
        case Voice::Horn:
        case Voice::SecondHorn:
            return;  // played by phrase
    }
}

void PlayHornPhrase(std::span<const Event> notes, float gain, float pan, Buses& out) {
    const int64_t start = notes.front().start;
    const int64_t held = notes.back().start + notes.back().length - start;
    const Adsr shape{0.09, 0.8, 0.8, 0.2};
    Envelope envelope(shape, held);
    Saw a(0.0), b(0.37);
    Svf first, second;
    const Pan sides = Pan::At(pan);
    double pitch = notes.front().pitch, hz = NoteHz(pitch), strength = notes.front().velocity;
    size_t current = 0;
    int64_t noteStart = start;
    const double glide = 1.0 - std::exp(-1.0 / (0.03 * kRate));
    const int64_t span = out.bed.Span(start, Envelope::Length(shape, held));
    for (int64_t n = 0; n < span; ++n) {
        const int64_t frame = start + n;
        if (current + 1 < notes.size() && frame >= notes[current + 1].start) {
            ++current;
            noteStart = frame;
        }
        pitch += (notes[current].pitch - pitch) * glide;
        strength += (notes[current].velocity - strength) * glide;
        if (n % kControlFrames == 0) {
            const double t = Seconds(frame - noteStart);
            // A delayed vibrato; brightness that swells with the breath and settles.
            const double vibrato =
                0.12 * std::clamp((t - 0.3) / 0.4, 0.0, 1.0) * std::sin(2.0 * kPi * 5.2 * t);
            hz = NoteHz(pitch + vibrato);
            const double brass = (1.0 - std::exp(-t / 0.05)) * (0.45 + 0.55 * std::exp(-t / 0.5));
            const double cutoff = hz * (1.5 + 6.0 * brass * notes[current].velocity);
            first.Tune(cutoff, 0.7);
            second.Tune(cutoff, 0.7);
        }
        // Each new note is tongued: the breath dips by up to 30 % over the first 3 ms and comes back.
        const double t = Seconds(frame - noteStart);
        const float tongue =
            t < 0.3 ? static_cast<float>(1.0 - 0.3 * (1.0 - std::exp(-t / 0.003)) * std::exp(-t / 0.04))
                    : 1.0f;
        const float tone = a.Next(hz) + 0.7f * b.Next(hz * 1.0035);
        const float value = second.Process(first.Process(tone).low).low * gain *
                            static_cast<float>(strength) * envelope.Next() * tongue;
        out.bed.Add(frame, value, sides);
        out.send[static_cast<size_t>(frame)] += 0.5f * value;
    }
}

void PlayWind(const Score& score, Buses& out) {
    Noise left(0x1ce5eed1u), right(0x0ddba11u);
    Svf bandLeft, bandRight;
    double level = 0.0, target = 0.0;
    const double smoothing = 1.0 - std::exp(-1.0 / (0.05 * kRate));
    for (int64_t frame = 0; frame < out.air.Frames(); ++frame) {
        if (frame % kControlFrames == 0) {
            const double t = Seconds(frame);
            target = score.wind.At(frame);
            bandLeft.Tune(300.0 * std::exp2(2.6 * (0.5 + 0.5 * std::sin(2.0 * kPi * t / 13.0))), 2.0);
            bandRight.Tune(300.0 * std::exp2(2.6 * (0.5 + 0.5 * std::sin(2.0 * kPi * t / 17.0 + 2.0))), 2.0);
        }
        level += (target - level) * smoothing;
        const float gain = static_cast<float>(0.08 * level);
        const float l = bandLeft.Process(left.Next()).band * gain;
        const float r = bandRight.Process(right.Next()).band * gain;
        out.air.left[static_cast<size_t>(frame)] += l;
        out.air.right[static_cast<size_t>(frame)] += r;
        out.send[static_cast<size_t>(frame)] += 0.3f * (l + r);
    }
}

}  // namespace soundtrack
