#include "Analysis.h"

#include "CommandLine.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "RuParameterFile.h"
#include "RuParameterSet.h"

#include <stdexcept>

namespace cli {

bool loadParameterFile(const QString &path, RuAlarmCalculator *calculator, QString *error,
                       QStringList *warnings)
{
    const RuParameterFile file = RuParameterFile::read(path, RuParameterSet::fromCalculator(*calculator));
    if (warnings)
        *warnings = file.warnings();
    if (!file.isRead()) {
        *error = file.error();
        return false;
    }
    file.parameters().applyTo(*calculator);
    return true;
}

bool loadParameterOption(const QString &command, const QString &path,
                         RuAlarmCalculator *calculator)
{
    QString error;
    QStringList warnings;
    const bool loaded = loadParameterFile(path, calculator, &error, &warnings);
    for (const QString &warning : warnings)
        printWarning(command, warning);
    if (!loaded)
        printError(command, error);
    return loaded;
}

QString noProcessParametersText()
{
    return QStringLiteral("No process parameters found in rrd_info: the first frame carries no "
                          "detector settings of the radar");
}

bool allDetectorsOff(const RuAlarmCalculator &calculator)
{
    for (int k = 0; k < RuAlarmResult::Detectors; ++k) {
        if (calculator.avalancheEnable(k) || calculator.rainEnable(k)
            || calculator.waterlevelEnable(k))
            return false;
    }
    return true;
}

void warnIfAllDetectorsOff(const QString &command, const RuAlarmCalculator &calculator)
{
    if (allDetectorsOff(calculator))
        printWarning(command, QStringLiteral("all detectors are off: give --params or --process-params"));
}

bool loadProcessParameters(const RuFrame &frame, RuAlarmCalculator *calculator, QString *error)
{
    const QString missing = noProcessParametersText();
    if (!frame.hasInfo()) {
        *error = missing;
        return false;
    }
    try {
        calculator->fromProcessParameters(frame.info());
    } catch (const std::invalid_argument &e) {
        *error = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

FrameRun::FrameRun(const QStringList &sources, int timeoutSeconds)
    : m_sources(sources), m_timeout(timeoutSeconds)
{
}

bool FrameRun::openNext(const QString &command)
{
    m_file.reset();
    while (++m_source < m_sources.size()) {
        auto file = std::make_unique<RuFile>();
        file->open(m_sources[m_source], 'r', m_timeout);
        if (file->isOpen()) {
            m_file = std::move(file);
            m_sourceFrames = 0;
            if (m_progress)
                m_progress->setSource(m_sources[m_source], m_source, m_sources.size());
            return true;
        }
        printError(command, m_sources[m_source] + QStringLiteral(": ") + file->errorString());
        ++m_errors;
    }
    return false;
}

bool FrameRun::next(const QString &command, RuFrame *frame)
{
    while (!StopRequest::requested() && (m_file || openNext(command))) {
        if (m_file->readFrame(*frame)) {
            ++m_frames;
            ++m_sourceFrames;
            if (m_progress)
                m_progress->frameDone();
            return true;
        }
        // A read broken off by a stop signal is no fault of the source.
        if (StopRequest::requested())
            return false;
        if (m_file->errorCode() == RRD_ERR_END) {
            if (m_progress)
                m_progress->sourceEnded();
        } else {
            printError(command, QStringLiteral("%1: after %2 frames: %3")
                                    .arg(m_sources[m_source])
                                    .arg(m_sourceFrames)
                                    .arg(m_file->errorString()));
            ++m_errors;
        }
        m_file.reset();
    }
    return false;
}

} // namespace cli
