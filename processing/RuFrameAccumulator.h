#pragma once
// A sliding sum over the last N matrices: push costs one subtraction and one addition, so a
// mean costs one division per element whatever the window length.

#include "RuMatrix.h"

#include <deque>

class RuFrameAccumulator
{
public:
    explicit RuFrameAccumulator(int length = 1);

    void push(const RuMatrix &matrix);
    RuMatrix mean() const;
    bool ready() const;
    void reset();
    void setLength(int length);

    int length() const { return m_length; }
    int size() const { return static_cast<int>(m_window.size()); }
    bool isFull() const { return m_full; }
    const RuMatrix &sum() const { return m_sum; }

private:
    bool m_full = false;
    int m_length = 1;
    std::deque<RuMatrix> m_window;
    RuMatrix m_sum;
};
