#include "SkColorLevels.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// The smallest odd stride that keeps a sample of `count` values within the limit and is prime
// to the row length.
int sampleStride(int count, int columns)
{
    int stride = std::max(1, (count + SkColorLevels::SampleLimit - 1) / SkColorLevels::SampleLimit);
    if (stride == 1)
        return 1;
    if (stride % 2 == 0)
        ++stride;
    while (columns > 0 && std::gcd(stride, columns) != 1)
        stride += 2;
    return stride;
}

std::ptrdiff_t rank(std::size_t count, double q)
{
    return static_cast<std::ptrdiff_t>(std::lround(std::clamp(q, 0.0, 1.0) * double(count - 1)));
}

} // namespace

QwtInterval SkColorLevels::of(const QVector<double> &values, int columns)
{
    const int stride = sampleStride(values.size(), columns);
    std::vector<double> sample;
    sample.reserve(std::size_t(values.size() / stride + 1));
    for (int i = 0; i < values.size(); i += stride)
        if (std::isfinite(values[i]))
            sample.push_back(values[i]);
    if (sample.empty())
        return QwtInterval();
    // Each rank is found among the values below the one found before: after nth_element they
    // lie in front of it.
    const auto high = sample.begin() + rank(sample.size(), HighQuantile);
    std::nth_element(sample.begin(), high, sample.end());
    const auto median = sample.begin() + std::min(rank(sample.size(), 0.5), high - sample.begin());
    std::nth_element(sample.begin(), median, high);
    const auto low = sample.begin() + std::min(rank(sample.size(), LowQuantile), median - sample.begin());
    std::nth_element(sample.begin(), low, median);
    const double ceiling = *median + NoiseSpreads * (*median - *low);
    const double top = std::min(*high, ceiling);
    return QwtInterval(*low, top > *low ? top : *low + 1.0);
}
