#pragma once
// What `rrdcli analyze` and `rrdcli dump` share: the engine's settings from a parameter file
// or from a frame's process parameters, and the frames of several sources read as one run.

#include "RuAlarmCalculator.h"
#include "RuFile.h"
#include "RuFrame.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace cli {

// Applies the keys of an INI parameter file over the engine's settings; false with the reason
// in `error` when the file is missing or no parameter file. Values that cannot be used, and
// sections and keys the engine does not know (a typing slip that would silently keep a
// default), are named in `warnings`.
bool loadParameterFile(const QString &path, RuAlarmCalculator *calculator, QString *error,
                       QStringList *warnings = nullptr);

// The radar's own settings from the frame's process parameters; false with the message
// "No process parameters found in rrd_info: ..." when the frame carries none.
bool loadProcessParameters(const RuFrame &frame, RuAlarmCalculator *calculator, QString *error);
QString noProcessParametersText();

// True when the engine runs no detector at all (avalanche, rain, water level).
bool allDetectorsOff(const RuAlarmCalculator &calculator);
// Prints "rrdcli COMMAND: warning: all detectors are off: give --params or --process-params"
// when they are.
void warnIfAllDetectorsOff(const QString &command, const RuAlarmCalculator &calculator);

// Loads the settings the options name (--params FILE or, given the first frame later,
// nothing yet) and prints the file's warnings; false with the failure printed.
bool loadParameterOption(const QString &command, const QString &path,
                         RuAlarmCalculator *calculator);

// Frames of the sources (files, archives, "-", host:port) in order, numbered from 0 over all
// of them. A source that cannot be opened or holds a bad frame ends with an error, and
// reading goes on with the next source.
class ProgressLine;

class FrameRun
{
public:
    FrameRun(const QStringList &sources, int timeoutSeconds);
    // Shows each frame read on `progress` (may be none).
    void setProgress(ProgressLine *progress) { m_progress = progress; }

    // The next frame; false at the end of the last source or once a stop signal has come
    // (StopRequest). Errors met on the way are printed for `command` and counted.
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
    ProgressLine *m_progress = nullptr;
};

} // namespace cli
