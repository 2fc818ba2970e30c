#pragma once
// One frame in the frame store with the matrices views ask for. Packets are values: copies
// share the frame and the result, which are never modified once published.
//
// A packet holds the frame once. Every matrix that depends only on its own frame (the
// Original as floats, the filtered matrix when it is the frame's own spectral average, the
// normalised and the half-symmetry matrix) is derived when asked for, bit for bit as the
// engine computed it; what depends on earlier frames (a time average, the background) is
// rebuilt from the accumulator trail the result refers to, or shared with the result. Views over time need one range gate or one value of every frame:
// matrixRow and matrixValue derive just that. Callers that show a frame keep the matrix
// (the frame store caches the frames on display).

#include "RuAlarmResult.h"
#include "RuFrame.h"
#include "RuMatrix.h"
#include "SkPacketTypeEnum.h"

#include <QMetaType>
#include <QSharedPointer>
#include <QString>

#include <vector>

class SkPacket
{
public:
    using MatrixPtr = QSharedPointer<const RuMatrix>;

    SkPacket();
    SkPacket(const RuFrame &frame, int frameNumber);

    int frameNumber() const { return m_frameNumber; }
    void setFrameNumber(int number) { m_frameNumber = number; }
    const RuFrame &frame() const { return m_frame; }
    bool hasFrame() const { return !m_frame.isNull(); }
    const QString &sourceText() const { return m_sourceText; }
    void setSourceText(const QString &text) { m_sourceText = text; }

    SkAlarmResultSharedPtr alarmResult() const { return m_alarm; }
    void setAlarmResult(const SkAlarmResultSharedPtr &result) { m_alarm = result; }
    bool hasAlarmResult() const { return !m_alarm.isNull(); }

    bool hasMatrix(SkPacketTypeEnum type) const;
    // The matrix of `type`; ask hasMatrix first (0 rows otherwise). Matrices the result holds
    // are returned shared; the others are derived anew on each call.
    MatrixPtr matrix(SkPacketTypeEnum type) const;

    // Rows of matrix(type) (0 when the packet lacks the type).
    int matrixRows(SkPacketTypeEnum type) const;
    // Replays of the accumulator trails carried from one packet to the next by a view over
    // time, which asks the same row or values of consecutive frames.
    struct Cursor
    {
        std::vector<RuTrailState> filtered;
        std::vector<RuTrailState> background;
    };
    // Row `row` of matrix(type) into out[0..1023]; row must be below matrixRows(type).
    void matrixRow(SkPacketTypeEnum type, int row, float *out, Cursor *cursor = nullptr) const;
    // matrix(type)(row, channel), deriving no more than that value needs.
    float matrixValue(SkPacketTypeEnum type, int row, int channel,
                      Cursor *cursor = nullptr) const;

    // matrixValue(type, j, channel) of rows j = 0..rows-1 into out[j * stride]; rows must not
    // exceed matrixRows(type). Asks the memory for the frame's rows at once, so that the
    // reads of one column wait for the memory together rather than one after another.
    void matrixColumn(SkPacketTypeEnum type, int channel, int rows, double *out, int stride,
                      Cursor *cursor = nullptr) const;

private:
    void prefetchColumn(int channel, int rows) const;
    int backgroundRows() const;
    MatrixPtr background() const;
    // The trail states of one lane: the filtered and the background replay.
    struct Lanes
    {
        RuTrailState *filtered = nullptr;
        RuTrailState *background = nullptr;
    };
    static Lanes lanes(Cursor *cursor, int index);
    void backgroundRow(int row, float *out, const Lanes &l) const;
    float backgroundValue(int row, int channel, const Lanes &l) const;
    void originalRow(int row, float *out) const;
    void filteredRow(int row, float *out, const Lanes &l) const;
    void normalisedRow(int row, float *out, const Lanes &l) const;
    float filteredValue(int row, int channel, const Lanes &l) const;
    float normalisedValue(int row, int channel, const Lanes &l) const;
    float halfSymmetrySourceValue(int row, int channel, const Lanes &l) const;

    RuFrame m_frame;
    int m_frameNumber = -1;
    SkAlarmResultSharedPtr m_alarm;
    QString m_sourceText;
};

Q_DECLARE_METATYPE(SkPacket)
