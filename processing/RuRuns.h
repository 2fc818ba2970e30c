#pragma once
// Runs of channels above a threshold in one spectrum: within the window [begin, end) every
// stretch of consecutive channels strictly above the threshold yields one run per full
// `length` channels, starting at the stretch's first channel. A stretch of 2·length channels
// thus gives two runs; NaN is never above.

#include <QVector>

// Appends the start channels of the runs to `starts` (when given); returns how many there are.
int ruFindRuns(const float *spectrum, float threshold, int begin, int end, int length,
               QVector<int> *starts);
// True when at least one run exists; stops at the first.
bool ruHasRun(const float *spectrum, float threshold, int begin, int end, int length);
