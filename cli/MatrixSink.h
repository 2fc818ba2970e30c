#pragma once
// Where `rrdcli export` puts the matrices of the frames it exports, one frame at a time. A
// file output appears under its name only when commit() succeeds; a sink destroyed before
// that leaves nothing behind (and an earlier file of that name untouched). Standard output,
// a pipe or a device is written in place (OutputDevice).

#include "OutputDevice.h"
#include "RuMatrix.h"

#include <QString>
#include <QtGlobal>

class MatrixSink
{
public:
    virtual ~MatrixSink() = default;

    // Opens the output's temporary file; false with errorString() set.
    virtual bool open() = 0;
    // One frame's matrix, frames in increasing order.
    virtual bool add(qint64 frame, qint64 timeMicros, const RuMatrix &matrix) = 0;
    // Completes the output and gives it its name.
    virtual bool commit() = 0;
    // Where the matrices go.
    virtual const OutputDevice &output() const = 0;
    // True when part of the output has already reached a pipe, a device or standard output
    // (lines written as they come), so that a failure leaves it incomplete there.
    virtual bool streams() const = 0;

    QString errorString() const { return m_error; }

protected:
    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }

private:
    QString m_error;
};
