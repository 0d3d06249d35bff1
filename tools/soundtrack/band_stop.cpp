#include "tools/soundtrack/band_stop.h"

#include <algorithm>
#include <complex>

#include "audio/fft.h"

namespace soundtrack {
namespace {

constexpr int kHalfLength = 6000;     // 12001 taps
constexpr double kKaiserBeta = 4.55;  // 50 dB of stop band
constexpr double kTransition = 11.0;  // Hz from the stop edge to the pass edge at this length and beta
constexpr size_t kFftSize = 32768;

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
    const audio::Fft fft(kFftSize);
    std::vector<std::complex<double>> response(kFftSize);
    std::copy(taps_.begin(), taps_.end(), response.begin());
    fft.Forward(response);

    const int64_t frames = bus.Frames();
    const int64_t block = static_cast<int64_t>(kFftSize - taps_.size() + 1);
    Bus out(frames + static_cast<int64_t>(taps_.size()));
    std::vector<std::complex<double>> x(kFftSize);
    for (int64_t start = 0; start < frames; start += block) {
        const size_t count = static_cast<size_t>(std::min(block, frames - start));
        std::fill(x.begin(), x.end(), 0.0);
        for (size_t n = 0; n < count; ++n) {
            x[n] = {bus.left[static_cast<size_t>(start) + n], bus.right[static_cast<size_t>(start) + n]};
        }
        fft.Forward(x);
        for (size_t k = 0; k < kFftSize; ++k) {
            const std::complex<double> r = response[k];
            x[k] = {x[k].real() * r.real() - x[k].imag() * r.imag(),
                    x[k].real() * r.imag() + x[k].imag() * r.real()};
        }
        fft.Inverse(x);
        const size_t reach = static_cast<size_t>(std::min<int64_t>(kFftSize, out.Frames() - start));
        for (size_t n = 0; n < reach; ++n) {
            out.left[static_cast<size_t>(start) + n] += static_cast<float>(x[n].real());
            out.right[static_cast<size_t>(start) + n] += static_cast<float>(x[n].imag());
        }
    }
    std::copy_n(out.left.begin() + kHalfLength, frames, bus.left.begin());
    std::copy_n(out.right.begin() + kHalfLength, frames, bus.right.begin());
}

}  // namespace soundtrack
