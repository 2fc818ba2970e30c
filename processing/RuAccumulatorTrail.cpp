#include "RuAccumulatorTrail.h"

#include "RuConditioning.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int Channels = RuMatrix::ColsAtCompileTime;

// The values a replay works on: a whole matrix, one row or one value of each input.
struct WholeLane
{
    int width;
    int row = -1;
    int channel = -1;
    void fetch(const RuTrailInput &in, float *out) const
    {
        const RuMatrix m = in.whole();
        std::copy_n(m.data(), width, out);
    }
    const float *checkpoint(const RuMatrix &sum) const { return sum.data(); }
};

struct RowLane
{
    int row;
    int channel = -1;
    int width = Channels;
    void fetch(const RuTrailInput &in, float *out) const { in.row(row, out); }
    const float *checkpoint(const RuMatrix &sum) const { return sum.row(row).data(); }
};

struct ValueLane
{
    int row;
    int channel;
    int width = 1;
    void fetch(const RuTrailInput &in, float *out) const { *out = in.value(row, channel); }
    const float *checkpoint(const RuMatrix &sum) const { return &sum(row, channel); }
};

} // namespace

void RuTrailInput::row(int r, float *out) const
{
    if (matrix) {
        std::copy_n(matrix->row(r).data(), Channels, out);
        return;
    }
    ruRecordToFloats(frame.rowData(r), out);
    if (radius <= 0)
        return;
    // The one row as a matrix of its own: spectral averaging never mixes rows.
    RuMatrix one(1, Channels);
    std::copy_n(out, Channels, one.data());
    const RuMatrix averaged = ruSpectralAverage(one, radius);
    std::copy_n(averaged.data(), Channels, out);
}

float RuTrailInput::value(int r, int c) const
{
    if (matrix)
        return (*matrix)(r, c);
    return frameValue(frame, radius, r, c);
}

float RuTrailInput::frameValue(const RuFrame &frame, int radius, int r, int c)
{
    if (radius <= 0)
        return static_cast<float>(frame.value(r, c));
    if (radius >= Channels / 2) {
        float values[Channels];
        RuTrailInput{frame, radius, QSharedPointer<const RuMatrix>()}.row(r, values);
        return values[c];
    }
    // The window's channels summed from its left end, as the row-wise average adds them.
    const unsigned char *src = frame.rowData(r);
    if (!src)
        return 0.0f; // as frame.value() reads a row the frame lacks
    const int width = 2 * radius + 1;
    int k = ((c - radius) % Channels + Channels) % Channels;
    float s = static_cast<float>(rrd_get_u32(src + 4 * k));
    for (int i = 1; i < width; ++i) {
        k = k + 1 == Channels ? 0 : k + 1;
        s += static_cast<float>(rrd_get_u32(src + 4 * k));
    }
    return s / static_cast<float>(width);
}

RuMatrix RuTrailInput::whole() const
{
    if (matrix)
        return *matrix;
    return ruSpectralAverage(frame.toMatrix(), radius);
}

RuAccumulatorTrail::RuAccumulatorTrail(int rows, int length, const RuMatrix &sum,
                                       const std::deque<RuTrailInput> &window, int pushes)
    : m_rows(rows), m_length(length),
      m_sum(window.empty() ? RuMatrix() : sum),
      m_windowCount(static_cast<int>(window.size())),
      m_capacity(m_windowCount + pushes),
      m_inputs(new RuTrailInput[size_t(m_capacity)])
{
    for (const RuTrailInput &in : window)
        m_inputs[size_t(m_used++)] = in;
}

void RuAccumulatorTrail::push(const RuTrailInput &input)
{
    m_inputs[size_t(m_used++)] = input;
}

// The additions and subtractions of RuFrameAccumulator::push, element by element in the same
// order, over the lane's values, continuing `st` when it stands earlier on the same lane; the
// lane receives the mean.
template <typename Lane>
void RuAccumulatorTrail::replay(int pushes, const Lane &lane, RuTrailState &st) const
{
    const int w = lane.width;
    const size_t size = static_cast<size_t>(w);
    if (st.trail != this || st.row != lane.row || st.channel != lane.channel || st.done > pushes) {
        st.trail = this;
        st.row = lane.row;
        st.channel = lane.channel;
        st.done = 0;
        st.count = m_windowCount;
        st.head = 0;
        st.sum.assign(size, 0.0f);
        st.in.resize(size);
        st.old.resize(size);
        if (st.count > 0)
            std::copy_n(lane.checkpoint(m_sum), w, st.sum.data());
    }
    float *sum = st.sum.data();
    float *in = st.in.data();
    float *old = st.old.data();
    for (int p = st.done; p < pushes; ++p) {
        const int index = m_windowCount + p;
        lane.fetch(m_inputs[size_t(index)], in);
        if (st.count > 0 && st.count >= m_length) {
            if (st.count == 1) {
                st.count = 0; // the window empties: the sum restarts from the new input
            } else {
                lane.fetch(m_inputs[size_t(st.head)], old);
                for (int k = 0; k < w; ++k)
                    sum[k] = (sum[k] - old[k]) + in[k];
                ++st.head;
                continue;
            }
        }
        if (st.count == 0) {
            std::copy_n(in, w, sum);
            st.head = index;
        } else {
            for (int k = 0; k < w; ++k)
                sum[k] += in[k];
        }
        ++st.count;
    }
    st.done = pushes;
    lane.out(sum, st.count);
}

namespace {

// The mean of a running sum over `count` matrices, as RuFrameAccumulator::mean divides.
void meanOf(const float *sum, int count, int width, float *out)
{
    if (count <= 1) {
        std::copy_n(sum, width, out);
        return;
    }
    const float n = static_cast<float>(count);
    for (int k = 0; k < width; ++k)
        out[k] = sum[k] / n;
}

} // namespace

RuMatrix RuAccumulatorTrail::mean(int pushes) const
{
    struct Lane : WholeLane
    {
        RuMatrix *m;
        void out(const float *sum, int count) const { meanOf(sum, count, width, m->data()); }
    };
    RuMatrix m(m_rows, Channels);
    RuTrailState state;
    replay(pushes, Lane{{m_rows * Channels}, &m}, state);
    return m;
}

void RuAccumulatorTrail::meanRow(int pushes, int row, float *out, RuTrailState *state) const
{
    struct Lane : RowLane
    {
        float *dst;
        void out(const float *sum, int count) const { meanOf(sum, count, Channels, dst); }
    };
    RuTrailState local;
    replay(pushes, Lane{{row}, out}, state ? *state : local);
}

float RuAccumulatorTrail::meanValue(int pushes, int row, int channel, RuTrailState *state) const
{
    struct Lane : ValueLane
    {
        float *dst;
        void out(const float *sum, int count) const { meanOf(sum, count, 1, dst); }
    };
    float value = 0.0f;
    RuTrailState local;
    replay(pushes, Lane{{row, channel}, &value}, state ? *state : local);
    return value;
}

RuTrailMean RuTrailRecorder::push(RuFrameAccumulator &accumulator, const RuTrailInput &input,
                                  const RuMatrix &m)
{
    const int before = accumulator.size();
    const int rows = static_cast<int>(m.rows());
    if (before > 0 && rows != m_rows) {
        restart(); // the accumulator restarts at a matrix of another shape
    } else if (before != static_cast<int>(m_window.size())) {
        accumulator.push(m);
        restart();
        return RuTrailMean();
    }
    if (!m_trail || m_trail->isFull()) {
        const std::deque<RuTrailInput> window = before > 0 ? m_window : std::deque<RuTrailInput>();
        m_trail = QSharedPointer<RuAccumulatorTrail>::create(rows, accumulator.length(),
                                                             accumulator.sum(), window, Pushes);
    }
    accumulator.push(m);
    m_trail->push(input);
    const int after = accumulator.size();
    if (after == 1) {
        m_window.clear();
    } else if (after == before) {
        m_window.pop_front();
    }
    m_window.push_back(input);
    m_rows = rows;
    return RuTrailMean{m_trail, m_trail->pushes()};
}

void RuTrailRecorder::restart(const std::deque<RuTrailInput> &window, int rows)
{
    m_trail.reset();
    m_window = window;
    m_rows = rows;
}
