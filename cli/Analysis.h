#pragma once
// What `rrdcli analyze` and `rrdcli dump` share: the engine's settings from a parameter file
// or from a frame's process parameters, and the frames of several sources read as one run.

#include "RuAlarmCalculator.h"
#include "RuAlarmEvent.h"
#include "RuFile.h"
#include "RuFrame.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace cli {

// Applies the keys of an INI parameter file over the engine's built-in settings; false with
// the reason in `error` when the file is missing or not readable as INI.
bool loadParameterFile(const QString &path, RuAlarmCalculator *calculator, QString *error);

// The radar's own settings from the frame's process parameters; false with the message
// "No process parameters found in rrd_info" when the frame carries none.
bool loadProcessParameters(const RuFrame &frame, RuAlarmCalculator *calculator, QString *error);

// One row "frame,event,details" of the alarm log as CSV, line break included.
QByteArray alarmLogRow(qint64 frame, const RuAlarmEvent &event);

// Frames of the sources (files, archives, "-", host:port) in order, numbered from 0 over all
// of them. A source that cannot be opened or holds a bad frame ends with an error, and
// reading goes on with the next source.
class FrameRun
{
public:
    FrameRun(const QStringList &sources, int timeoutSeconds);

    // The next frame; false at the end of the last source. Errors met on the way are
    // printed for `command` and counted.
    bool next(const QString &command, RuFrame *frame);
    qint64 framesRead() const { return m_frames; }
    bool hadErrors() const { return m_errors > 0; }

private:
    bool openNext(const QString &command);

    QStringList m_sources;
    int m_timeout = 0;
    int m_source = -1;
    std::unique_ptr<RuFile> m_file;
    qint64 m_frames = 0;
    qint64 m_sourceFrames = 0;
    int m_errors = 0;
};

} // namespace cli
