#pragma once
// Frames into a NumPy archive: "data" (float32, frames x range gates x 1024), "frame" and
// "time_us" (int64). The shape goes first in the file but is known only at the end, so the
// matrices wait in a spool file beside the output (or in the system's temporary folder for
// standard output, a pipe or a device); memory holds two numbers per frame.

#include "MatrixSink.h"
#include "OutputDevice.h"

#include <QTemporaryFile>
#include <QVector>

class NpzMatrixSink : public MatrixSink
{
public:
    explicit NpzMatrixSink(const QString &path);

    bool open() override;
    bool add(qint64 frame, qint64 timeMicros, const RuMatrix &matrix) override;
    bool commit() override;
    const OutputDevice &output() const override { return m_out; }
    // The archive is written at the end, from the spool.
    bool streams() const override { return false; }

private:
    OutputDevice m_out;
    QTemporaryFile m_spool;
    QVector<qint64> m_frames;
    QVector<qint64> m_times;
    qint64 m_rows = -1;
};
