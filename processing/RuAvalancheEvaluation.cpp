// One frame's evaluation by an avalanche detector: runs, row activities and groups.

#include "RuAvalancheDetector.h"

#include "RuRuns.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;

// The channels between the borders, clipped to the row: borders adding up to more than the
// row leave an empty window rather than a negative one.
struct ChannelWindow
{
    int begin;
    int end;
    int width() const { return end - begin; }
};

ChannelWindow channelWindow(const RuAvalancheParams &params)
{
    const int begin = std::clamp(params.borderLeft, 0, Channels);
    const long end = std::clamp(static_cast<long>(Channels) - params.borderRight,
                                static_cast<long>(begin), static_cast<long>(Channels));
    return {begin, static_cast<int>(end)};
}

// Groups are closed in the order the range gates are walked (highest first); the best is the
// one with the highest peak above 0, the earliest on a tie.
class GroupCollector
{
public:
    explicit GroupCollector(int perColMin) : m_perColMin(perColMin) {}

    void add(int rangegate, float activity)
    {
        if (!m_open) {
            m_group = RuAvalancheGroup{rangegate, rangegate, 1, rangegate, activity, activity, 0};
            m_open = true;
            return;
        }
        m_group.first = rangegate;
        ++m_group.count;
        m_group.summed += activity;
        if (activity > m_group.peak) {
            m_group.peakRangegate = rangegate;
            m_group.peak = activity;
        }
    }

    void close()
    {
        if (!m_open)
            return;
        m_open = false;
        if (m_group.count < m_perColMin)
            return;
        m_survived = true;
        if (m_group.peak > m_bestPeak) {
            m_best = m_group;
            m_bestPeak = m_group.peak;
        }
    }

    bool survived() const { return m_survived; }
    const RuAvalancheGroup &best() const { return m_best; }

private:
    int m_perColMin;
    bool m_open = false;
    bool m_survived = false;
    RuAvalancheGroup m_group;
    RuAvalancheGroup m_best;
    float m_bestPeak = 0.0f;
};

} // namespace

int RuAvalancheDetector::runLength(const RuAvalancheParams &params)
{
    // A run of fewer than one channel means every channel above the threshold counts.
    return std::max(params.lengthMin, 1);
}

void RuAvalancheDetector::evaluate(const RuAvalancheParams &params, const Input &in,
                                   float threshold, float eventLimit,
                                   RuAvalancheResult &result) const
{
    const RuMatrix &n = in.normalised;
    const RuMatrix &x = in.asymmetry;
    const int rows = static_cast<int>(n.rows());
    const ChannelWindow window = channelWindow(params);
    const int length = runLength(params);
    result.runs.resize(rows);
    result.rowActivity.resize(rows);

    RuRowCache ownNormalised;
    RuRowCache ownAsymmetry;
    RuRowCache &nRows = in.normalisedRows ? *in.normalisedRows : ownNormalised;
    RuRowCache &xRows = in.asymmetryRows ? *in.asymmetryRows : ownAsymmetry;
    if (!in.normalisedRows)
        ownNormalised.reset(n);
    if (!in.asymmetryRows)
        ownAsymmetry.reset(x);

    GroupCollector groups(params.perColMin);
    float sumSum = 0.0f;
    int hits = 0;
    int symmetric = 0;
    for (int i = m_active.size() - 1; i >= 0; --i) {
        const int r = m_active.at(i);
        if (r >= rows)
            continue;
        RuRangegateRuns &runs = result.runs[r];
        int count = ruFindRuns(nRows.above(r, threshold), window.begin, window.end, length,
                               &runs.starts);
        if (count > 0 && !ruHasRun(xRows.above(r, threshold), window.begin, window.end, length)) {
            runs.symmetric = true;
            ++symmetric;
            count = 0;
        }
        const float activity = window.width() > 0
            ? nRows.windowSum(r, window.begin, window.end) - static_cast<float>(window.width())
            : 0.0f;
        result.rowActivity[r] = activity;
        if (count >= params.perRowMin && activity >= params.sumPerRowMin) {
            hits += count;
            sumSum = std::trunc(sumSum + activity);
            groups.add(r, activity);
        } else {
            groups.close();
        }
    }
    groups.close();

    result.sumSum = sumSum;
    result.hits = hits;
    result.symmetricCount = symmetric;
    result.bestGroup = groups.best();
    result.peakRangegate = result.bestGroup.peakRangegate;
    result.eventFound = groups.survived() && sumSum >= eventLimit;
}
