#include "Analysis.h"

#include "CommandLine.h"
#include "RuParameterSet.h"
#include "RuParameterTable.h"

#include <QFileInfo>
#include <QSettings>

#include <stdexcept>

namespace cli {

namespace {

// A CSV field, quoted when it holds a separator, a quote or a line break.
QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.contains(',') && !bytes.contains('"') && !bytes.contains('\n')
        && !bytes.contains('\r'))
        return bytes;
    bytes.replace('"', "\"\"");
    return '"' + bytes + '"';
}

} // namespace

QByteArray alarmLogRow(qint64 frame, const RuAlarmEvent &event)
{
    return QByteArray::number(frame) + ',' + csvField(event.tag) + ',' + csvField(event.detail)
           + '\n';
}

bool loadParameterFile(const QString &path, RuAlarmCalculator *calculator, QString *error)
{
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        *error = QStringLiteral("cannot read parameter file %1").arg(path);
        return false;
    }
    const QSettings settings(path, QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) {
        *error = QStringLiteral("%1 is not an INI parameter file").arg(path);
        return false;
    }
    RuParameterSet set = RuParameterSet::fromCalculator(*calculator);
    RuParameterTable::read(settings, set);
    set.applyTo(*calculator);
    return true;
}

bool loadProcessParameters(const RuFrame &frame, RuAlarmCalculator *calculator, QString *error)
{
    const QString missing = QStringLiteral("No process parameters found in rrd_info");
    if (!frame.info()) {
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
            return true;
        }
        printError(command, m_sources[m_source] + QStringLiteral(": ") + file->errorString());
        ++m_errors;
    }
    return false;
}

bool FrameRun::next(const QString &command, RuFrame *frame)
{
    while (m_file || openNext(command)) {
        if (m_file->readFrame(*frame)) {
            ++m_frames;
            ++m_sourceFrames;
            return true;
        }
        if (!m_file->atEnd()) {
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
