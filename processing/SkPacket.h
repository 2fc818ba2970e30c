#pragma once
// One frame in the frame store with the matrices views ask for. Packets are values: copies
// share the frame, the matrices and the result, which are never modified once published.

#include "RuAlarmResult.h"
#include "RuFrame.h"
#include "RuMatrix.h"
#include "SkPacketTypeEnum.h"

#include <QHash>
#include <QMetaType>
#include <QSharedPointer>
#include <QString>

class SkPacket
{
public:
    using MatrixPtr = QSharedPointer<const RuMatrix>;

    SkPacket();
    // Builds the Original matrix from the frame at once.
    SkPacket(const RuFrame &frame, int frameNumber);

    int frameNumber() const { return m_frameNumber; }
    void setFrameNumber(int number) { m_frameNumber = number; }
    const RuFrame &frame() const { return m_frame; }
    bool hasFrame() const { return !m_frame.isNull(); }
    const QString &sourceText() const { return m_sourceText; }
    void setSourceText(const QString &text) { m_sourceText = text; }

    SkAlarmResultSharedPtr alarmResult() const { return m_alarm; }
    void setAlarmResult(const SkAlarmResultSharedPtr &result);
    bool hasAlarmResult() const { return !m_alarm.isNull(); }

    bool hasMatrix(SkPacketTypeEnum type) const;
    // The matrix of `type`; ask hasMatrix first. Derived matrices are made once and cached;
    // callers sharing one packet must serialise calls (the frame store holds its lock).
    MatrixPtr matrix(SkPacketTypeEnum type) const;

private:
    RuFrame m_frame;
    int m_frameNumber = -1;
    MatrixPtr m_original;
    SkAlarmResultSharedPtr m_alarm;
    mutable QHash<int, MatrixPtr> m_cache;
    QString m_sourceText;
};

Q_DECLARE_METATYPE(SkPacket)
