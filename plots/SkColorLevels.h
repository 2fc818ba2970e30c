#pragma once
// Colour levels that fit a matrix, so the noise floor takes the calm bottom of the colour ramp
// and what stands out of it the upper part, whatever the level of the data: from the 2nd to the
// 99.5th percentile of the values, but never more than NoiseSpreads times the noise's spread
// (median minus 2nd percentile) above the median. The clutter peak at channel 0, up to 10^4
// times the noise floor and a few per cent of the cells of an Original frame, would otherwise
// take the whole scale and leave an avalanche as dark as the noise.
//
// Large matrices are sampled deterministically: every k-th value with k odd and prime to the
// row length, so the sample walks across all columns instead of repeating a few. At most
// SampleLimit values are looked at: a frame of 20 range gates whole, one of 128 range gates or
// a view of 1000 frames sampled, which moves the quantiles by far less than a colour step.
// Values that are not finite are left out.

#include <qwt_interval.h>

#include <QVector>

struct SkColorLevels
{
    static constexpr int SampleLimit = 1 << 15;
    static constexpr double LowQuantile = 0.02;
    static constexpr double HighQuantile = 0.995;
    static constexpr double NoiseSpreads = 30.0;

    // The levels of `values` (rows of `columns`); invalid when no value is finite. A matrix
    // of one value gets a span of 1 above it.
    static QwtInterval of(const QVector<double> &values, int columns);
};
