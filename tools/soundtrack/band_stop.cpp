#include "tools/soundtrack/band_stop.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <utility>

namespace soundtrack {
namespace {

constexpr int kHalfLength = 6000;     // 12001 taps
constexpr double kKaiserBeta = 4.55;  // 50 dB of stop band
constexpr double kTransition = 11.0;  // Hz from the stop edge to the pass edge at this length and beta
constexpr size_t kFftSize = 32768;

// A complex signal as its real and imaginary parts.
struct Signal {
    explicit Signal(size_t size) : re(size), im(size) {}
    std::vector<double> re, im;
};

// An in-place radix-2 FFT of one size, with the twiddles of each stage laid out in a row of their own.
class Fft {
public:
    explicit Fft(size_t size) : size_(size), order_(size), cos_(size), sin_(size) {
        assert(std::has_single_bit(size));
        for (size_t i = 1, j = 0; i < size; ++i) {
            size_t bit = size >> 1;
            for (; j & bit; bit >>= 1) j ^= bit;
            j |= bit;
            order_[i] = j;
        }
        for (size_t half = 1; half < size; half <<= 1) {
            for (size_t k = 0; k < half; ++k) {
                cos_[half + k] = std::cos(kPi * static_cast<double>(k) / static_cast<double>(half));
                sin_[half + k] = -std::sin(kPi * static_cast<double>(k) / static_cast<double>(half));
            }
        }
    }

    void Forward(Signal& x) const { Transform(x.re.data(), x.im.data()); }
    // The inverse, as the forward transform with the parts swapped, scaled by 1/size.
    void Inverse(Signal& x) const {
        Transform(x.im.data(), x.re.data());
        const double scale = 1.0 / static_cast<double>(size_);
        for (size_t n = 0; n < size_; ++n) {
            x.re[n] *= scale;
            x.im[n] *= scale;
        }
    }

private:
    void Transform(double* re, double* im) const {
        for (size_t i = 1; i < size_; ++i) {
            if (i < order_[i]) {
                std::swap(re[i], re[order_[i]]);
                std::swap(im[i], im[order_[i]]);
            }
        }
        for (size_t half = 1; half < size_; half <<= 1) {
            const double* wr = &cos_[half];
            const double* wi = &sin_[half];
            for (size_t start = 0; start < size_; start += 2 * half) {
                double* ar = re + start;
                double* ai = im + start;
                double* br = ar + half;
                double* bi = ai + half;
                for (size_t k = 0; k < half; ++k) {
                    const double tr = br[k] * wr[k] - bi[k] * wi[k];
                    const double ti = br[k] * wi[k] + bi[k] * wr[k];
                    br[k] = ar[k] - tr;
                    bi[k] = ai[k] - ti;
                    ar[k] += tr;
                    ai[k] += ti;
                }
            }
        }
    }

    size_t size_;
    std::vector<size_t> order_;      // the bit-reversed index of each index
    std::vector<double> cos_, sin_;  // stage `half` at [half, 2 half)
};

double BesselI0(double x) {
    double sum = 1.0, term = 1.0;
    for (int k = 1; k < 60; ++k) {
        const double factor = x / (2.0 * k);
        term *= factor * factor;
        sum += term;
    }
    return sum;
}

}  // namespace

BandStop::BandStop(std::span<const Notch> notches) : taps_(2 * kHalfLength + 1) {
    for (int n = -kHalfLength; n <= kHalfLength; ++n) {
        // The bands' ideal edges sit in the middle of the transitions.
        double band = 0.0;
        for (const Notch& notch : notches) {
            const double edge = notch.halfWidth + kTransition / 2.0;
            const double low = (notch.centre - edge) / kRate, high = (notch.centre + edge) / kRate;
            band += n == 0 ? 2.0 * (high - low)
                           : (std::sin(2.0 * kPi * high * n) - std::sin(2.0 * kPi * low * n)) / (kPi * n);
        }
        const double r = static_cast<double>(n) / kHalfLength;
        const double window = BesselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / BesselI0(kKaiserBeta);
        taps_[static_cast<size_t>(n + kHalfLength)] = ((n == 0 ? 1.0 : 0.0) - band) * window;
    }
}

void BandStop::Apply(Bus& bus) const {
    // Both channels in one transform, left as the real part and right as the imaginary: the taps are real.
    const Fft fft(kFftSize);
    Signal response(kFftSize);
    std::copy(taps_.begin(), taps_.end(), response.re.begin());
    fft.Forward(response);

    const int64_t frames = bus.Frames();
    const int64_t block = static_cast<int64_t>(kFftSize - taps_.size() + 1);
    Bus out(frames + static_cast<int64_t>(taps_.size()));
    Signal x(kFftSize);
    for (int64_t start = 0; start < frames; start += block) {
        const size_t count = static_cast<size_t>(std::min(block, frames - start));
        std::fill(x.re.begin(), x.re.end(), 0.0);
        std::fill(x.im.begin(), x.im.end(), 0.0);
        std::copy_n(bus.left.begin() + start, count, x.re.begin());
        std::copy_n(bus.right.begin() + start, count, x.im.begin());
        fft.Forward(x);
        for (size_t k = 0; k < kFftSize; ++k) {
            const double re = x.re[k] * response.re[k] - x.im[k] * response.im[k];
            x.im[k] = x.re[k] * response.im[k] + x.im[k] * response.re[k];
            x.re[k] = re;
        }
        fft.Inverse(x);
        const size_t reach = static_cast<size_t>(std::min<int64_t>(kFftSize, out.Frames() - start));
        for (size_t n = 0; n < reach; ++n) {
            out.left[static_cast<size_t>(start) + n] += static_cast<float>(x.re[n]);
            out.right[static_cast<size_t>(start) + n] += static_cast<float>(x.im[n]);
        }
    }
    std::copy_n(out.left.begin() + kHalfLength, frames, bus.left.begin());
    std::copy_n(out.right.begin() + kHalfLength, frames, bus.right.begin());
}

}  // namespace soundtrack
