#include "RcWorker.h"

#include "RcFrameAverager.h"
#include "RcOutputFile.h"

#include "RuFile.h"
#include "RuFrame.h"

#include <QFileInfo>

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

bool RcWorker::wroteEverything() const
{
    return !m_aborted && m_framesLeftOut == 0 && m_untimedLeftOut == 0 && m_endedEarly.isEmpty();
}

void RcWorker::run()
{
    m_skip = 0;
    m_framesLeftOut = 0;
    m_untimedLeftOut = 0;
    m_framesWritten = 0;
    m_endedEarly.clear();
    if (outputIsAnInput()) {
        emit finished(m_id, true, tr("Outputfile is one of the input files!"));
        return;
    }
    QString failed;
    {
        RcOutputFile output(m_outputPath);
        QString reason;
        if (!output.open(&reason)) {
            emit finished(m_id, true, failure("Outputfile open failed!", m_outputPath, reason));
            return;
        }
        failed = convertAll(output);
    } // an output that was not completed is removed here, the old file of its name kept
    if (!failed.isEmpty()) {
        emit finished(m_id, true, failed);
        return;
    }
    emit finished(m_id, false, endMessage());
    emit progressChanged(m_inputFiles.size() * ProgressPerFile);
}

// Writing the output replaces it: were it one of the inputs, under whatever name or link,
// that recording would be lost.
bool RcWorker::outputIsAnInput() const
{
    for (const QString &input : m_inputFiles) {
        if (input != QLatin1String("-") && RcOutputFile::sameFile(input, m_outputPath))
            return true;
    }
    return false;
}

QString RcWorker::failure(const char *what, const QString &path, const QString &reason) const
{
    return tr(what) + QLatin1Char(' ') + path + QStringLiteral(": ") + reason;
}

// Converts every input into `output` and completes it; the failure message, or none. An
// abort is no failure: the frames written so far make a complete file.
QString RcWorker::convertAll(RcOutputFile &output)
{
    // One window for the whole conversion: averages reach back across file boundaries.
    RcFrameAverager window(m_averagingRange);
    const int fileCount = m_inputFiles.size();
    emit progressMaximumChanged(fileCount * ProgressPerFile);
    emit progressChanged(0);

    for (int i = 0; i < fileCount && !m_aborted; ++i) {
        int progress = i * ProgressPerFile;
        const QString &path = m_inputFiles.at(i);
        RuFile input(path, 'r');
        if (!input.isOpen())
            return failure("Inputfile open failed!", path, input.errorString());
        emit inputOpened(i, path);
        const Outcome outcome = convertFile(input, output.file(), window, progress);
        if (outcome == Outcome::WriteFailed)
            return failure("Outputfile write failed!", m_outputPath, output.file().errorString());
        if (outcome == Outcome::ReadError) {
            m_endedEarly << QStringLiteral("%1 (%2)").arg(QFileInfo(path).fileName(),
                                                          input.errorString());
        }
        input.close();
    }
    QString reason;
    if (!output.commit(&reason))
        return failure("Outputfile write failed!", m_outputPath, reason);
    return QString();
}

RcWorker::Outcome RcWorker::convertFile(RuFile &input, RuFile &output,
                                        RcFrameAverager &window, int &progress)
{
    const bool averaging = m_averagingRange > 1;
    while (!input.atEnd()) {
        RuFrame frame;
        if (!input.readFrame(frame)) {
            // A read broken off by an abort (a stop signal) is no fault of the input; one
            // that fails at the clean end of input is the normal end of the file, one that
            // ends inside a frame is not.
            if (m_aborted)
                return Outcome::Aborted;
            return input.errorCode() == RRD_ERR_END ? Outcome::Done : Outcome::ReadError;
        }
        // Every frame read enters the window, dropped ones and those left out included; the
        // window restarts at a frame with another range-gate count, so frames of different
        // geometry are never averaged together.
        if (m_skip > 0) {
            --m_skip;
            if (averaging)
                window.add(frame);
        } else {
            if (fits(frame, output)) {
                if (averaging)
                    window.addAndAverage(frame);
                if (output.writeFrame(frame) != 0)
                    return Outcome::WriteFailed;
                ++m_framesWritten;
            } else if (averaging) {
                window.add(frame);
            }
            m_skip = m_dropCount;
        }
        if (m_aborted)
            return Outcome::Aborted;
        emit progressChanged(progress++);
    }
    return Outcome::Done;
}

// The output's format and range-gate count are fixed by its first frame, and its readers
// take every later frame to be of the same size: a frame of another range-gate count would
// make the rest of the file unreadable, an RRD0 output cannot take a frame without its
// parameter block, and a raw frame has no time to give a stamped or RRD0 output (it would
// read back as 1970). Such frames are left out and counted rather than written.
bool RcWorker::fits(const RuFrame &frame, const RuFile &output)
{
    const int format = output.format();
    if (format == RRD_FORMAT_NONE)
        return true;
    if (format != RRD_FORMAT_RAW && !frame.hasStamp()) {
        ++m_untimedLeftOut;
        return false;
    }
    if (frame.rows() != output.rangegates()
        || (format == RRD_FORMAT_RRD0 && !frame.hasInfo())) {
        ++m_framesLeftOut;
        return false;
    }
    return true;
}

QString RcWorker::endMessage() const
{
    QStringList notes;
    if (m_framesLeftOut > 0) {
        notes << tr("%1 frame(s) not written: range gates or format differ from the output's")
                     .arg(m_framesLeftOut);
    }
    if (m_untimedLeftOut > 0) {
        notes << tr("%1 raw frame(s) not written: they carry no time for the output's format")
                     .arg(m_untimedLeftOut);
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
