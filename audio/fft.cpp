#include "audio/fft.h"

#include <bit>
#include <cassert>
#include <cmath>
#include <numbers>
#include <utility>

namespace audio {

Fft::Fft(size_t size) : size_(size), order_(size), twiddle_(size) {
    assert(std::has_single_bit(size));
    for (size_t i = 1, j = 0; i < size; ++i) {
        size_t bit = size >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        order_[i] = j;
    }
    for (size_t half = 1; half < size; half <<= 1) {
        for (size_t k = 0; k < half; ++k) {
            const double angle = std::numbers::pi * static_cast<double>(k) / static_cast<double>(half);
            twiddle_[half + k] = {std::cos(angle), -std::sin(angle)};
        }
    }
}

void Fft::Forward(std::span<std::complex<double>> data) const {
    assert(data.size() == size_);
    for (size_t i = 1; i < size_; ++i) {
        if (i < order_[i]) std::swap(data[i], data[order_[i]]);
    }
    for (size_t half = 1; half < size_; half <<= 1) {
        const std::complex<double>* w = &twiddle_[half];
        for (size_t start = 0; start < size_; start += 2 * half) {
            std::complex<double>* a = &data[start];
            std::complex<double>* b = a + half;
            for (size_t k = 0; k < half; ++k) {
                // b·w written out, as the same operations in the same order on every compiler.
                const std::complex<double> t(b[k].real() * w[k].real() - b[k].imag() * w[k].imag(),
                                             b[k].real() * w[k].imag() + b[k].imag() * w[k].real());
                b[k] = a[k] - t;
                a[k] += t;
            }
        }
    }
}

// The forward transform of the conjugates, conjugated and scaled.
void Fft::Inverse(std::span<std::complex<double>> data) const {
    for (std::complex<double>& x : data) x = std::conj(x);
    Forward(data);
    const double scale = 1.0 / static_cast<double>(size_);
    for (std::complex<double>& x : data) x = std::conj(x) * scale;
}

}  // namespace audio
