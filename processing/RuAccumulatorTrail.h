#pragma once
// What a RuFrameAccumulator was fed since a checkpoint, so that every mean it produced can be
// rebuilt bit for bit later: whole, one row or one value, from the frames themselves.
//
// A mean of the accumulator depends on every matrix pushed since its last reset (the running
// sum carries their rounding), so it cannot be recomputed from the last N frames alone. A
// trail keeps the running sum at its start (one matrix), the inputs then in the window and
// the inputs pushed after it, as shared frame handles; replaying the same additions and
// subtractions in the same order gives the same floats. The engine starts a new trail every
// few pushes, so a replay is short and a checkpoint is shared by the frames after it.
//
// The engine appends to the newest trail while readers replay earlier pushes of it: the
// inputs live in storage reserved up front that is never moved, and a reader touches only
// inputs published before the result that refers to them.

#include "RuFrame.h"
#include "RuFrameAccumulator.h"
#include "RuMatrix.h"

#include <QSharedPointer>

#include <deque>
#include <memory>
#include <vector>

// One matrix pushed: a frame's own matrix (spectrally averaged with `radius` when positive),
// or a matrix of its own.
struct RuTrailInput
{
    RuFrame frame;
    int radius = 0;
    QSharedPointer<const RuMatrix> matrix;

    void row(int r, float *out) const;
    float value(int r, int c) const;
    // value() of a frame's own matrix, without a trail input around it.
    static float frameValue(const RuFrame &frame, int radius, int r, int c);
    RuMatrix whole() const;
};

// Where a replay stands, so that the means of consecutive frames (a later push of the same
// trail) continue it instead of starting again at the checkpoint.
struct RuTrailState
{
    const void *trail = nullptr;
    int row = -1;
    int channel = -1;
    int done = 0;
    int count = 0;
    int head = 0;
    std::vector<float> sum;
    std::vector<float> in;
    std::vector<float> old;
};

class RuAccumulatorTrail
{
public:
    // A trail of matrices of `rows` range gates for an accumulator of `length` whose window
    // holds `window` (oldest first) and whose running sum is `sum`, taking at most `pushes`
    // more inputs.
    RuAccumulatorTrail(int rows, int length, const RuMatrix &sum,
                       const std::deque<RuTrailInput> &window, int pushes);

    bool isFull() const { return m_used == m_capacity; }
    int pushes() const { return m_used - m_windowCount; }
    // Engine side: one more input; the trail must not be full.
    void push(const RuTrailInput &input);

    int rows() const { return m_rows; }
    // Bytes the trail holds itself (the frames it refers to are shared with their packets).
    size_t heldBytes() const
    {
        return sizeof(*this) + size_t(m_sum.size()) * sizeof(float)
               + size_t(m_capacity) * sizeof(RuTrailInput);
    }
    // The mean after the first `pushes` inputs pushed to this trail.
    // `state`, when given, carries the replay from one call to the next.
    RuMatrix mean(int pushes) const;
    void meanRow(int pushes, int row, float *out, RuTrailState *state = nullptr) const;
    float meanValue(int pushes, int row, int channel, RuTrailState *state = nullptr) const;

private:
    template <typename Lane>
    void replay(int pushes, const Lane &lane, RuTrailState &state) const;

    int m_rows;
    int m_length;
    RuMatrix m_sum;
    int m_windowCount;
    int m_capacity;
    std::unique_ptr<RuTrailInput[]> m_inputs; // the window, then the pushes
    int m_used = 0;
};

// A mean of the accumulator: the trail and the pushes it took.
struct RuTrailMean
{
    QSharedPointer<const RuAccumulatorTrail> trail;
    int pushes = 0;

    bool isNull() const { return trail.isNull(); }
    int rows() const { return trail ? trail->rows() : 0; }
};

// Records the trail of one accumulator: every push goes through it, and it names the mean
// the push made. A new trail starts every `Pushes` pushes and whenever the accumulator starts
// afresh.
class RuTrailRecorder
{
public:
    static constexpr int Pushes = 8;

    // Pushes `m`, the matrix of `input`, into `accumulator`; the mean it then holds, or a
    // null mean when the recorder lost track of the accumulator (never in the engine).
    RuTrailMean push(RuFrameAccumulator &accumulator, const RuTrailInput &input,
                     const RuMatrix &m);
    // The accumulator was reset, or refilled by other means with `window` (oldest first) of
    // matrices of `rows` range gates.
    void restart(const std::deque<RuTrailInput> &window = {}, int rows = -1);

private:
    QSharedPointer<RuAccumulatorTrail> m_trail;
    std::deque<RuTrailInput> m_window; // the accumulator's window, input by input
    int m_rows = -1;
};
