// The discrete Fourier transform of one power-of-two size, in place: radix 2, with the bit-reversed order and
// the twiddles of every stage worked out once. The spectrum and the soundtrack's filters both use it.
#pragma once

#include <complex>
#include <cstddef>
#include <span>
#include <vector>

namespace audio {

class Fft {
public:
    explicit Fft(size_t size);  // a power of two

    // X[k] = Σ x[n]·e^(−2πikn/N) of the size's values.
    void Forward(std::span<std::complex<double>> data) const;
    // x[n] = (1/N) Σ X[k]·e^(2πikn/N).
    void Inverse(std::span<std::complex<double>> data) const;

private:
    size_t size_;
    std::vector<size_t> order_;                  // the bit-reversed index of each index
    std::vector<std::complex<double>> twiddle_;  // stage `half` at [half, 2 half): e^(−πik/half)
};

}  // namespace audio
