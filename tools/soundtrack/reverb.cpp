#include "tools/soundtrack/reverb.h"

#include <array>

namespace soundtrack {
namespace {

// Mutually prime delays in frames at 44100 Hz; the right side's are longer by kSpread.
constexpr std::array<int, 8> kCombs = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
constexpr std::array<int, 4> kAllpasses = {556, 441, 341, 225};
constexpr int kSpread = 23;

class Comb {
public:
    Comb(int length, double feedback, double damping)
        : line_(static_cast<size_t>(length)), feedback_(feedback), damping_(damping) {}
    float Process(float x) {
        const float out = line_[at_];
        store_ = out * (1.0 - damping_) + store_ * damping_;
        line_[at_] = static_cast<float>(x + store_ * feedback_);
        if (++at_ == line_.size()) at_ = 0;
        return out;
    }

private:
    std::vector<float> line_;
    size_t at_ = 0;
    double feedback_, damping_, store_ = 0.0;
};

class Allpass {
public:
    explicit Allpass(int length) : line_(static_cast<size_t>(length)) {}
    float Process(float x) {
        const float delayed = line_[at_];
        line_[at_] = x + delayed * 0.5f;
        if (++at_ == line_.size()) at_ = 0;
        return delayed - x;
    }

private:
    std::vector<float> line_;
    size_t at_ = 0;
};

// One side of the hall.
class Side {
public:
    Side(const ReverbShape& shape, int spread) {
        for (const int length : kCombs) {
            combs_.emplace_back(static_cast<int>((length + spread) * shape.size), shape.feedback,
                                shape.damping * 0.4);
        }
        for (const int length : kAllpasses)
            allpasses_.emplace_back(static_cast<int>((length + spread) * shape.size));
    }
    float Process(float x) {
        float sum = 0.0f;
        for (Comb& comb : combs_) sum += comb.Process(x);
        for (Allpass& allpass : allpasses_) sum = allpass.Process(sum);
        return sum;
    }

private:
    std::vector<Comb> combs_;
    std::vector<Allpass> allpasses_;
};

}  // namespace

void Reverberate(const std::vector<float>& send, const ReverbShape& shape, float wet, Bus& out) {
    Side left(shape, 0), right(shape, kSpread);
    const int64_t predelay = Frames(shape.predelay);
    const float gain = wet * 0.015f;  // the combs add up: scaled back to about unity
    for (int64_t n = predelay; n < out.Frames(); ++n) {
        const float x = send[static_cast<size_t>(n - predelay)] * gain;
        out.left[static_cast<size_t>(n)] += left.Process(x);
        out.right[static_cast<size_t>(n)] += right.Process(x);
    }
}

}  // namespace soundtrack
