#pragma once
// The value range of a series that grows at its end and is cut at its start (the points of a
// curve while frames arrive and leave the store), kept exact at constant amortised cost per
// point: each point enters and leaves each of three monotonic queues at most once. The activity
// plot fits its axes from it on every frame without looking at the points again.

#include "SkValueRange.h"

#include <deque>

class SkSlidingExtremes
{
public:
    // Points come in ascending x; values that are not finite count for nothing.
    void append(double x, double y);
    // Forgets the points with x below `x`.
    void dropBefore(double x);
    void clear();

    SkValueRange range() const;

private:
    struct Point
    {
        double x;
        double y;
    };
    // Candidates for the minimum (values ascending), the maximum (descending) and the minimum
    // of the positive values (ascending), oldest first.
    std::deque<Point> m_min;
    std::deque<Point> m_max;
    std::deque<Point> m_minPositive;
};
