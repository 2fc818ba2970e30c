#pragma once
// Frames as CSV: a header line, then one line per frame and range gate,
// "frame,time_us,rangegate,c0,...,c1023", each float as the shortest text that reads back as
// the same float. Frames of different range-gate counts may follow each other.

#include "MatrixSink.h"
#include "OutputDevice.h"

#include <QByteArray>

class CsvMatrixSink : public MatrixSink
{
public:
    explicit CsvMatrixSink(const QString &path);

    bool open() override;
    bool add(qint64 frame, qint64 timeMicros, const RuMatrix &matrix) override;
    bool commit() override;
    const OutputDevice &output() const override { return m_out; }
    bool streams() const override { return !m_out.isReplacedWhole(); }

private:
    bool write(const QByteArray &bytes);

    OutputDevice m_out;
    QByteArray m_line;
};
