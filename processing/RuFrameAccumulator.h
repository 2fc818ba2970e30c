#pragma once
// A sliding sum over the last N matrices: push costs one subtraction and one addition, so a
// mean costs one division per element whatever the window length. The window is a ring of
// matrices whose storage is reused, so a steady stream of frames allocates nothing.

#include "RuMatrix.h"

#include <vector>

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
    int size() const { return m_count; }
    bool isFull() const { return m_full; }
    const RuMatrix &sum() const { return m_sum; }

private:
    void replaceOldest(const RuMatrix &matrix);
    void storeNewest(const RuMatrix &matrix);
    RuMatrix &slot(int i) { return m_slots[(m_first + i) % m_slots.size()]; }

    bool m_full = false;
    int m_length = 1;
    std::vector<RuMatrix> m_slots; // ring: m_count matrices from m_first, oldest first
    int m_first = 0;
    int m_count = 0;
    RuMatrix m_sum;
};
