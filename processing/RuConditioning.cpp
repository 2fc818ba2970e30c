#include "RuConditioning.h"

#include "RuRowKernels.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;

// Radii of half a row or more wrap around the row more than once: each channel then counts
// as often as the window covers it. Prefix sums keep that to one pass per row.
RuMatrix wideSpectralAverage(const RuMatrix &m, int radius)
{
    constexpr int C = RuMatrix::ColsAtCompileTime;
    const long long width = 2LL * radius + 1;
    const long long laps = width / C;
    const int rest = static_cast<int>(width % C);
    RuMatrix out(m.rows(), C);
    std::vector<double> prefix(2 * C + 1);
    for (int r = 0; r < m.rows(); ++r) {
        prefix[0] = 0.0;
        for (int i = 0; i < 2 * C; ++i)
            prefix[i + 1] = prefix[i] + m(r, i % C);
        const double total = prefix[C];
        for (int c = 0; c < C; ++c) {
            // After the full laps, `rest` channels remain, starting at c - radius.
            const int start = static_cast<int>(((c - static_cast<long long>(radius)) % C + C) % C);
            const double part = prefix[start + rest] - prefix[start];
            out(r, c) = static_cast<float>((laps * total + part) / static_cast<double>(width));
        }
    }
    return out;
}

} // namespace

void ruRecordToFloats(const unsigned char *record, float *out)
{
    ruRowKernels().recordToFloats(record, out);
}

void ruFrameToMatrix(const RuFrame &frame, RuMatrix &out)
{
    out.resize(frame.rows(), Channels);
    const RuRowKernels &k = ruRowKernels();
    for (int r = 0; r < frame.rows(); ++r)
        k.recordToFloats(frame.rowData(r), out.row(r).data());
}

RuMatrix ruSpectralAverage(const RuMatrix &m, int radius)
{
    constexpr int C = RuMatrix::ColsAtCompileTime;
    if (radius <= 0)
        return m;
    if (radius >= C / 2)
        return wideSpectralAverage(m, radius);
    const int n = radius;
    const int width = 2 * n + 1;
    RuMatrix out(m.rows(), C);
    Eigen::Array<float, 1, Eigen::Dynamic> padded(C + 2 * n);
    for (int r = 0; r < m.rows(); ++r) {
        // The row with n channels of wrap-around on either side, so every window is one
        // contiguous segment; summing the shifted segments in order keeps the left-to-right
        // order of the plain sum.
        padded.segment(0, n) = m.row(r).segment(C - n, n).array();
        padded.segment(n, C) = m.row(r).array();
        padded.segment(n + C, n) = m.row(r).segment(0, n).array();
        auto dst = out.row(r).array();
        dst = padded.segment(0, C);
        for (int k = 1; k < width; ++k)
            dst += padded.segment(k, C);
        dst /= static_cast<float>(width);
    }
    return out;
}

void ruNormalise(const RuMatrix &filtered, const RuMatrix &background, RuMatrix &out)
{
    out.resize(filtered.rows(), Channels);
    const RuRowKernels &k = ruRowKernels();
    for (int r = 0; r < filtered.rows(); ++r)
        k.normalise(filtered.row(r).data(), background.row(r).data(), out.row(r).data());
}

RuMatrix ruNormalised(const RuMatrix &filtered, const RuMatrix &background)
{
    RuMatrix out;
    ruNormalise(filtered, background, out);
    return out;
}

void ruAsymmetry(const RuMatrix &normalised, RuMatrix &out)
{
    out.resize(normalised.rows(), Channels);
    const RuRowKernels &k = ruRowKernels();
    for (int r = 0; r < normalised.rows(); ++r)
        k.asymmetry(normalised.row(r).data(), out.row(r).data());
}

void ruNormaliseWithAsymmetry(const RuMatrix &filtered, const RuMatrix &background,
                              RuMatrix &normalised, RuMatrix &asymmetry)
{
    normalised.resize(filtered.rows(), Channels);
    asymmetry.resize(filtered.rows(), Channels);
    const RuRowKernels &k = ruRowKernels();
    for (int r = 0; r < filtered.rows(); ++r) {
        float *n = normalised.row(r).data();
        k.normalise(filtered.row(r).data(), background.row(r).data(), n);
        k.asymmetry(n, asymmetry.row(r).data());
    }
}

double ruWindowSum(const RuMatrix &m, int row, int begin, int width)
{
    if (row < 0 || row >= m.rows())
        return 0.0;
    const int b = std::clamp(begin, 0, static_cast<int>(RuMatrix::ColsAtCompileTime));
    const long end = std::clamp(static_cast<long>(begin) + width, static_cast<long>(b),
                                static_cast<long>(RuMatrix::ColsAtCompileTime));
    if (end <= b)
        return 0.0;
    return m.row(row).segment(b, end - b).cast<double>().sum();
}
