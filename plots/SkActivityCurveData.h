#pragma once
// The growing point series of one activity curve: (frame number, value), appended in frame
// order while the alarm computation runs. Points of frames that have left the frame store are
// dropped with trimBefore; the storage is compacted once the dropped part outgrows the kept
// part, so trimming costs amortised constant time per point and memory stays within twice the
// points kept. The value range of the points shown is kept as they come and go, so fitting an
// axis or asking for the bounding rectangle never walks the points. A series nobody draws (a
// range gate's live values while another range gate is chosen) may leave its range out: its
// points then cost an append each, and the range is taken up again when it is drawn.

#include "SkSlidingExtremes.h"

#include <qwt_series_data.h>

#include <QPointF>
#include <QVector>

class SkActivityCurveData : public QwtArraySeriesData<QPointF>
{
public:
    SkActivityCurveData() = default;

    void appendSample(const QPointF &point);
    // Drops the points with x below `firstFrame` (points are in ascending x).
    void trimBefore(double firstFrame);
    void clear();

    size_t size() const override;
    QPointF sample(size_t i) const override;
    // Always current (points are appended after the curve got the data); in constant time
    // while the range is kept.
    QRectF boundingRect() const override;
    // The range of the values shown (finite values only).
    SkValueRange valueRange() const;
    // Keeping the range on (the default) walks the points shown once; off forgets it, and
    // valueRange() then walks the points on each call.
    void setRangeKept(bool kept);

    // The points shown, oldest first.
    QVector<QPointF> points() const;
    // Points held in memory, shown or waiting for compaction.
    int storedCount() const;

private:
    int m_first = 0; // index of the first shown point in the sample array
    bool m_rangeKept = true;
    SkSlidingExtremes m_extremes; // empty while the range is not kept
};
