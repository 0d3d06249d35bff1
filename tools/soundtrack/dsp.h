// The synthesiser's building blocks: time and tuning, noise, oscillators, envelopes, filters and stereo
// buses.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace soundtrack {

constexpr int kRate = 44100;
constexpr double kPi = std::numbers::pi;

// 90 beats a minute in 4/4: a sixteenth is 7350 frames and a bar (8/3 s) 117600, so every bar line of the
// piece falls on a whole frame.
constexpr int64_t kStep = kRate / 6;
constexpr int64_t kBar = 16 * kStep;

constexpr double Seconds(int64_t frames) {
    return static_cast<double>(frames) / kRate;
}
constexpr int64_t Frames(double seconds) {
    return static_cast<int64_t>(seconds * kRate + 0.5);
}

// The frequency of bin `bin` of the 2048-frame spectrum the pictures watch: bins 20, 50 and 200 are its
// bands.
constexpr double BinHz(int bin) {
    return static_cast<double>(kRate) * bin / 2048;
}

// Equal temperament with A4 tuned onto the first picture band (430.66 Hz, a third of a semitone under concert
// pitch), so that every A4 the bells strike lands on its bin.
inline double NoteHz(double midi) {
    return BinHz(20) * std::exp2((midi - 69.0) / 12.0);
}

// A xorshift generator: the same noise on every run.
class Noise {
public:
    explicit Noise(uint32_t seed) : state_(seed != 0 ? seed : 0x9e3779b9u) {}
    // Uniform in [-1, 1).
    float Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<float>(static_cast<int32_t>(state_)) * (1.0f / 2147483648.0f);
    }

private:
    uint32_t state_;
};

// A band-limited sawtooth: the naive ramp with its jump smoothed by a polynomial step (polyBLEP).
class Saw {
public:
    explicit Saw(double phase = 0.0) : phase_(phase) {}
    float Next(double hz) {
        const double step = hz / kRate;
        phase_ += step;
        if (phase_ >= 1.0) phase_ -= 1.0;
        double value = 2.0 * phase_ - 1.0;
        if (phase_ < step) {
            const double t = phase_ / step;
            value -= t + t - t * t - 1.0;
        } else if (phase_ > 1.0 - step) {
            const double t = (phase_ - 1.0) / step;
            value -= t * t + t + t + 1.0;
        }
        return static_cast<float>(value);
    }

private:
    double phase_;
};

// A sine of fixed frequency by the recurrence s[n] = 2 cos(w) s[n-1] - s[n-2]: one multiply a sample.
class Sine {
public:
    explicit Sine(double hz, double phase = 0.0) {
        const double w = 2.0 * kPi * hz / kRate;
        twoCos_ = 2.0 * std::cos(w);
        s1_ = std::sin(phase - w);
        s2_ = std::sin(phase - 2.0 * w);
    }
    float Next() {
        const double s = twoCos_ * s1_ - s2_;
        s2_ = s1_;
        s1_ = s;
        return static_cast<float>(s);
    }

private:
    double twoCos_, s1_, s2_;
};

// A sine whose frequency may change as it plays: a unit phasor turned by the step of its frequency.
class Rotor {
public:
    void Tune(double hz) {
        const double w = 2.0 * kPi * hz / kRate;
        cos_ = std::cos(w);
        sin_ = std::sin(w);
        const double length = std::hypot(re_, im_);  // kept at one against rounding
        re_ /= length;
        im_ /= length;
    }
    float Next() {
        const double out = im_;
        const double re = re_ * cos_ - im_ * sin_;
        im_ = re_ * sin_ + im_ * cos_;
        re_ = re;
        return static_cast<float>(out);
    }

private:
    double re_ = 1.0, im_ = 0.0, cos_ = 1.0, sin_ = 0.0;
};

// An exponential decay from 1 with time constant `tau` seconds.
class Decay {
public:
    explicit Decay(double tau) : factor_(std::exp(-1.0 / (tau * kRate))) {}
    float Next() {
        const double out = level_;
        level_ *= factor_;
        return static_cast<float>(out);
    }

private:
    double factor_, level_ = 1.0;
};

// A linear attack over `attack` seconds, then exponential moves with time constants `decay` (to the sustain
// level) and `release` (to silence, once let go).
struct Adsr {
    double attack, decay, sustain, release;
};

// An Adsr played for `held` frames, then released.
class Envelope {
public:
    Envelope(const Adsr& shape, int64_t held)
        : held_(held),
          attack_(std::max<int64_t>(1, Frames(shape.attack))),
          sustain_(shape.sustain),
          decay_(std::exp(-1.0 / (shape.decay * kRate))),
          release_(std::exp(-1.0 / (shape.release * kRate))) {}
    float Next() {
        if (n_ < held_) {
            level_ =
                n_ < attack_ ? static_cast<double>(n_) / attack_ : sustain_ + (level_ - sustain_) * decay_;
        } else {
            level_ *= release_;
        }
        ++n_;
        return static_cast<float>(level_);
    }
    // Frames until the level has fallen 60 dB after the release.
    static int64_t Length(const Adsr& shape, int64_t held) { return held + Frames(shape.release * 6.9); }

private:
    int64_t held_, attack_, n_ = 0;
    double sustain_, decay_, release_, level_ = 0.0;
};

// The topology-preserving state-variable filter: low, band and high outputs of one 12 dB/octave stage.
class Svf {
public:
    struct Out {
        float low, band, high;
    };
    Svf() { Tune(1000.0, 0.707); }
    void Tune(double hz, double q) {
        const double g = std::tan(kPi * std::min(hz, 0.45 * kRate) / kRate);
        k_ = 1.0 / q;
        a1_ = 1.0 / (1.0 + g * (g + k_));
        a2_ = g * a1_;
        a3_ = g * a2_;
    }
    Out Process(float x) {
        const double v3 = x - ic2_;
        const double v1 = a1_ * ic1_ + a2_ * v3;
        const double v2 = ic2_ + a2_ * ic1_ + a3_ * v3;
        ic1_ = 2.0 * v1 - ic1_;
        ic2_ = 2.0 * v2 - ic2_;
        return {static_cast<float>(v2), static_cast<float>(v1), static_cast<float>(x - k_ * v1 - v2)};
    }

private:
    double k_ = 0, a1_ = 0, a2_ = 0, a3_ = 0, ic1_ = 0, ic2_ = 0;
};

// Gains of the two sides for a position from -1 (left) to 1 (right). A centred voice plays whole on both
// sides, so it reaches the mono mix (the mean of the sides) at its own amplitude.
struct Pan {
    float left = 1.0f, right = 1.0f;
    static Pan At(float position) {
        return {position > 0 ? 1.0f - position : 1.0f, position < 0 ? 1.0f + position : 1.0f};
    }
};

// Two channels of float frames that voices add into.
struct Bus {
    std::vector<float> left, right;

    explicit Bus(int64_t frames) : left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames)) {}
    int64_t Frames() const { return static_cast<int64_t>(left.size()); }
    void Add(int64_t frame, float value, Pan pan) {
        left[static_cast<size_t>(frame)] += value * pan.left;
        right[static_cast<size_t>(frame)] += value * pan.right;
    }
    // The frames [start, start + length) clipped to the bus, as a count from `start`.
    int64_t Span(int64_t start, int64_t length) const {
        return std::max<int64_t>(0, std::min(length, Frames() - start));
    }
};

}  // namespace soundtrack
