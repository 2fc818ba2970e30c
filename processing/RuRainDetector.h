#pragma once
// One rain detector: compares the energy of every range gate (a channel window summed over
// the row) with its own slowly moving background and raises an alarm when the two strongest
// range gates rise above it. Works on per-range-gate row sums only, so its time average and
// background queue hold vectors, never whole matrices.

#include "RuMatrix.h"
#include "RuRainParams.h"
#include "RuRainResult.h"

#include <Eigen/Core>

#include <deque>
#include <vector>

class RuRainDetector
{
public:
    // Empties the time average and the background queue, clears the alarm, and notes the
    // ignored range gates of a frame of `rows` range gates.
    void initialise(const RuRainParams &params, int rows);
    // `raw` is the frame as read.
    void process(const RuRainParams &params, const RuMatrix &raw, RuRainResult &result);

    bool alarmOn() const { return m_alarmOn; }
    int queueSize() const { return static_cast<int>(m_queue.size()); }

private:
    using Sums = Eigen::VectorXd;

    void rowSums(const RuRainParams &params, const RuMatrix &raw, Sums &out) const;
    void pushTimeAverage(const RuRainParams &params, const RuMatrix &raw);
    void pushBackground(const RuRainParams &params);
    void ratios(RuRainResult &result) const;
    void decide(const RuRainParams &params, RuRainResult &result);

    int m_rows = 0;
    bool m_alarmOn = false;
    std::vector<char> m_ignored;   // per range gate
    std::deque<Sums> m_window;     // row sums of the last avgTime frames, oldest first
    Sums m_windowSum;
    std::deque<Eigen::VectorXf> m_queue; // background: averaged row sums, oldest first
    Eigen::VectorXf m_current;
};
