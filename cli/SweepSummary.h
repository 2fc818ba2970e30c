#pragma once
// The summary of a sweep, one row per parameter set: the values that vary, alarms on and
// pre-alarms per detector, the first alarm's frame and UTC time and, when known events were
// given, the set's score against them; sorted best first when scored, else in set order.
// As CSV (summary.csv) or one JSON object per set.

#include "SweepPlan.h"
#include "SweepEvents.h"
#include "SweepTally.h"

#include <QByteArray>
#include <QVector>

namespace cli {

class SweepSummary
{
public:
    SweepSummary(const SweepPlan &plan, bool scored);

    // The set's row; `score` is ignored unless the summary is scored.
    void add(const SweepSet &set, const SweepTally &tally, const SweepScore &score);
    QByteArray csv() const;
    QByteArray jsonLines() const;

private:
    struct Row
    {
        const SweepSet *set;
        SweepTally tally;
        SweepScore score;
    };

    QVector<Row> sortedRows() const;
    QByteArray csvRow(const Row &row) const;
    QByteArray jsonRow(const Row &row) const;

    const SweepPlan &m_plan;
    const bool m_scored;
    QVector<Row> m_rows;
};

} // namespace cli
