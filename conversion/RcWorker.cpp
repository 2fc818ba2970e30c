#include "RcWorker.h"

#include "RuFile.h"
#include "RuFrame.h"
#include "RuFrameAccumulator.h"

#include <QFileInfo>

#include <cstdint>

namespace {

// The mean of unsigned counts is never negative, but a running float sum can drift a hair
// below zero once large values have left the window; values past the 32-bit range cannot
// be converted at all. Both ends are clamped, everything between is truncated.
inline quint32 truncateToCount(float value)
{
    if (!(value > 0.0f))
        return 0;
    if (value >= 4294967296.0f)
        return UINT32_MAX;
    return static_cast<quint32>(value);
}

} // namespace

RcWorker::RcWorker(int id, const QString &outputPath, const QStringList &inputFiles,
                   int averagingRange, int dropCount, QObject *parent)
    : QObject(parent), m_id(id), m_outputPath(outputPath), m_inputFiles(inputFiles),
      m_averagingRange(averagingRange), m_dropCount(qMax(0, dropCount))
{
}

void RcWorker::abort()
{
    m_aborted = true;
}

bool RcWorker::isAborted() const
{
    return m_aborted;
}

void RcWorker::run()
{
    m_skip = 0;
    m_framesLeftOut = 0;
    m_endedEarly.clear();
    if (outputIsAnInput()) {
        emit finished(m_id, true, tr("Outputfile is one of the input files!"));
        return;
    }
    QString failure;
    {
        RuFile output(m_outputPath, 'w');
        if (!output.isOpen()) {
            emit finished(m_id, true, tr("Outputfile open failed!"));
            return;
        }
        failure = convertAll(output);
    } // the output is released here also when a failed write left it in an error state
    if (!failure.isEmpty()) {
        emit finished(m_id, true, failure);
        return;
    }
    emit finished(m_id, false, endMessage());
    emit progressChanged(m_inputFiles.size() * ProgressPerFile);
}

// Opening the output truncates it: were it one of the inputs, that recording would be lost
// before a frame of it was read.
bool RcWorker::outputIsAnInput() const
{
    const QString output = QFileInfo(m_outputPath).canonicalFilePath();
    if (output.isEmpty())
        return false;
    for (const QString &input : m_inputFiles) {
        if (QFileInfo(input).canonicalFilePath() == output)
            return true;
    }
    return false;
}

// Converts every input into `output` and closes it; the failure message, or none.
QString RcWorker::convertAll(RuFile &output)
{
    // One window for the whole conversion: averages reach back across file boundaries.
    RuFrameAccumulator window(qMax(1, m_averagingRange));
    const int fileCount = m_inputFiles.size();
    emit progressMaximumChanged(fileCount * ProgressPerFile);
    emit progressChanged(0);

    for (int i = 0; i < fileCount && !m_aborted; ++i) {
        int progress = i * ProgressPerFile;
        RuFile input(m_inputFiles.at(i), 'r');
        if (!input.isOpen())
            return tr("Inputfile open failed!");
        const Outcome outcome = convertFile(input, output, window, progress);
        if (outcome == Outcome::WriteFailed)
            return tr("Outputfile write failed!");
        if (outcome == Outcome::ReadError) {
            m_endedEarly << QStringLiteral("%1 (%2)").arg(QFileInfo(m_inputFiles.at(i)).fileName(),
                                                          input.errorString());
        }
        input.close();
    }
    if (!closeOutput(output))
        return tr("Outputfile write failed!");
    return QString();
}

RcWorker::Outcome RcWorker::convertFile(RuFile &input, RuFile &output,
                                        RuFrameAccumulator &window, int &progress)
{
    const bool averaging = m_averagingRange > 1;
    while (!input.atEnd()) {
        RuFrame frame;
        if (!input.readFrame(frame)) {
            // A read that fails at the end of input is the normal end of the file.
            return input.atEnd() ? Outcome::Done : Outcome::ReadError;
        }
        if (averaging) {
            // The accumulator restarts its window at a frame with another range-gate
            // count, so frames of different geometry are never averaged together.
            window.push(frame.toMatrix());
        }
        if (m_skip > 0) {
            --m_skip;
        } else {
            if (!fitsOutput(frame, output)) {
                ++m_framesLeftOut;
            } else {
                if (averaging)
                    averageInto(frame, window);
                if (output.writeFrame(frame) != 0)
                    return Outcome::WriteFailed;
            }
            m_skip = m_dropCount;
        }
        if (m_aborted)
            return Outcome::Aborted;
        emit progressChanged(progress++);
    }
    return Outcome::Done;
}

void RcWorker::averageInto(RuFrame &frame, const RuFrameAccumulator &window) const
{
    const RuMatrix &sum = window.sum();
    const float count = static_cast<float>(window.size());
    const int rows = qMin(frame.rows(), static_cast<int>(sum.rows()));
    for (int r = 0; r < rows; ++r) {
        const float *src = sum.row(r).data();
        unsigned char *dst = frame.rowData(r);
        for (int c = 0; c < RRD_CHANNELS; ++c)
            rrd_put_u32(dst + 4 * c, truncateToCount(src[c] / count));
    }
}

// The output's format and range-gate count are fixed by its first frame, and its readers
// take every later frame to be of the same size: a frame of another range-gate count would
// make the rest of the file unreadable, and an RRD0 output cannot take a frame without its
// parameter block. Such frames are left out (and counted) rather than written.
bool RcWorker::fitsOutput(const RuFrame &frame, const RuFile &output)
{
    if (output.format() == RRD_FORMAT_NONE)
        return true;
    if (frame.rows() != output.rangegates())
        return false;
    return output.format() != RRD_FORMAT_RRD0 || frame.info() != nullptr;
}

bool RcWorker::closeOutput(RuFile &output)
{
    // A handle that went bad on the way (a write that failed without saying so) is not
    // closed by close(); treat it as the write failure it is.
    if (!output.isOpen())
        return false;
    // The last buffered bytes, and the end of a gzip stream, reach the disk only here.
    output.close();
    return output.closeResult() == 0;
}

QString RcWorker::endMessage() const
{
    QStringList notes;
    if (m_framesLeftOut > 0) {
        notes << tr("%1 frame(s) not written: range gates or format differ from the output's")
                     .arg(m_framesLeftOut);
    }
    if (!m_endedEarly.isEmpty()) {
        notes << tr("%1 input file(s) ended early: %2")
                     .arg(m_endedEarly.size())
                     .arg(m_endedEarly.join(QStringLiteral(", ")));
    }
    QString message = notes.join(QStringLiteral("; "));
    if (m_aborted)
        message = message.isEmpty() ? tr("Aborted...") : tr("Aborted...") + QLatin1Char(' ') + message;
    return message;
}
