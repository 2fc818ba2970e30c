#pragma once
// The smallest and largest value of some curves, and their smallest positive value (what a
// logarithmic axis can show). Empty until a value is included.

#include <limits>

struct SkValueRange
{
    double minimum = std::numeric_limits<double>::infinity();
    double maximum = -std::numeric_limits<double>::infinity();
    double minimumPositive = std::numeric_limits<double>::infinity();

    bool isEmpty() const { return minimum > maximum; }
    bool hasPositive() const { return minimumPositive <= maximum; }

    void include(const SkValueRange &other)
    {
        if (other.minimum < minimum)
            minimum = other.minimum;
        if (other.maximum > maximum)
            maximum = other.maximum;
        if (other.minimumPositive < minimumPositive)
            minimumPositive = other.minimumPositive;
    }
};
