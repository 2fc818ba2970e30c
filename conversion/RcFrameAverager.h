#pragma once
// The converter's moving average over the last frames read, done on the frame's own bytes:
// each frame is added to a running single-precision sum in one pass that, for a frame to be
// written, also puts the truncated mean in place of its values. The window's frames are
// kept as floats in a ring whose storage is reused, so a steady stream of frames allocates
// nothing, and the cost per frame does not grow with the window's length.
//
// The arithmetic is the frame accumulator's, step for step, so the output is the same to the
// bit: the window's sum restarts from the first frame, grows by addition, and once full
// becomes (sum - oldest) + newest; the mean is the sum divided by the frames in the window,
// truncated to an unsigned count.

#include <cstdint>
#include <vector>

class RuFrame;

class RcFrameAverager
{
public:
    explicit RcFrameAverager(int length);

    // Adds the frame's spectra to the window, first emptying it when the frame has another
    // range-gate count than the frames in it (they cannot be averaged together).
    void add(const RuFrame &frame);
    // The same, then replaces every value of the frame by the window's truncated mean.
    void addAndAverage(RuFrame &frame);

    int size() const { return m_count; }

private:
    template <typename Frame> void addRows(Frame &frame);
    void prepareFor(int rows);

    const int m_length;
    int m_rows = -1;          // range gates of the frames in the window
    int m_count = 0;          // frames in the window
    int m_oldest = 0;         // ring slot of the oldest frame once the window is full
    std::vector<float> m_sum; // rows x channels
    std::vector<float> m_ring; // m_length slots of rows x channels, filled from slot 0
};
