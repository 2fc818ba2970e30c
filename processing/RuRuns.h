#pragma once
// Runs of channels above a threshold in one spectrum: within the window [begin, end) every
// stretch of consecutive channels strictly above the threshold yields one run per full
// `length` channels, starting at the stretch's first channel. A stretch of 2·length channels
// thus gives two runs; NaN is never above.
//
// The comparison with the threshold is kept apart from the scan as a bit mask of the whole
// spectrum, so that detectors sharing a threshold compare each channel once and each scans
// the mask with its own window and run length.

#include <QVector>

#include <cstdint>

// Bit c % 64 of word c / 64 is set when channel c is strictly above the threshold.
struct RuAboveMask
{
    static constexpr int Words = 1024 / 64;
    uint64_t word[Words];
};

void ruAboveMask(const float *spectrum, float threshold, RuAboveMask &mask);

// Appends the start channels of the runs to `starts` (when given); returns how many there are.
int ruFindRuns(const RuAboveMask &above, int begin, int end, int length, QVector<int> *starts);
// True when at least one run exists; stops at the first.
bool ruHasRun(const RuAboveMask &above, int begin, int end, int length);

// The same on a spectrum, comparing it with the threshold first.
int ruFindRuns(const float *spectrum, float threshold, int begin, int end, int length,
               QVector<int> *starts);
bool ruHasRun(const float *spectrum, float threshold, int begin, int end, int length);
