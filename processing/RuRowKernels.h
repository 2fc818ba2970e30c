#pragma once
// The engine's arithmetic on whole range gates (rows of 1024 channels; the half-symmetry
// rows have 512), in the widest vectors the processor offers.
//
// Every kernel works element by element: no value depends on how many channels a vector
// holds, and no sum is taken whose order could change. So each set gives the same bits, and
// the set is chosen once, at first use, from what the processor runs. The sets are plain
// functions over plain arrays: the wider set is compiled on its own for a wider instruction
// set, so it must not share inline code (templates, Eigen) with the rest of the program.

#include <cstdint>

struct RuRowKernels
{
    // The little-endian unsigned 32-bit values of a range-gate record, each as the nearest
    // float (what a conversion of the unsigned integer gives).
    void (*recordToFloats)(const unsigned char *record, float *out);
    // out = filtered / max(background, 1); a NaN background stays NaN.
    void (*normalise)(const float *filtered, const float *background, float *out);
    // out(c) = (n(c) + 1) - n(1023 - c).
    void (*asymmetry)(const float *normalised, float *out);
    // out(c) = v(c) - v(1023 - c) for c < 512.
    void (*halfSymmetry)(const float *v, float *out);
    // sum = (sum - oldest) + newest, then oldest = newest: a sliding sum moving on by one.
    void (*slide)(float *sum, float *oldest, const float *newest);
    // out = sum / divisor.
    void (*divide)(const float *sum, float divisor, float *out);
    // Bit c % 64 of words[c / 64] set when channel c is strictly above the threshold (16
    // words); NaN never is.
    void (*above)(const float *spectrum, float threshold, uint64_t *words);
    // The same for the 512 channels of a half-symmetry row (8 words each), and the channels
    // strictly below the threshold.
    void (*aboveAndBelowHalf)(const float *d, float threshold, uint64_t *above,
                              uint64_t *below);
};

// The set the engine uses: the widest the processor runs, or the baseline when the
// environment variable SK_ROW_KERNELS is "baseline" at first use.
const RuRowKernels &ruRowKernels();

// Each set on its own, for the tests that hold them against each other: the baseline of the
// build (SSE on x86-64), and the AVX2 set when the processor runs it (else null).
const RuRowKernels &ruRowKernelsBaseline();
const RuRowKernels *ruRowKernelsAvx2();
