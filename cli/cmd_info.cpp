// rrdcli info: what a source holds. One block per source, "key: value" lines in a fixed
// order, a blank line between blocks:
//
//   source:       /tmp/a.rrd0.gz
//   format:       RRD0
//   range gates:  20
//   frames:       600
//   first frame:  2024-02-01 06:00:00.000 UTC
//   last frame:   2024-02-01 06:09:59.000 UTC
//   duration:     00:09:59.000 (599.000 s)
//
// Frames of the RAW format carry no time: the three time lines then show "-". A source that
// cannot be opened or read to its end gets an "error:" line with the library's text after
// the lines of what was read, and the exit status is 1. With --json each source is one JSON
// object on a line of its own instead:
//
//   {"source":"/tmp/a.rrd0.gz","format":"RRD0","rangegates":20,"frames":600,
//    "first_frame_us":1706767200000000,"last_frame_us":1706767799000000,"duration_s":599.0,
//    "error":null}

#include "CommandLine.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "commands.h"

#include "RuFile.h"
#include "RuFrame.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString Command = QStringLiteral("info");

struct SourceInfo
{
    int format = 0;
    int rangegates = 0;
    qint64 frames = 0;
    bool timed = false;
    qint64 firstMicros = 0;
    qint64 lastMicros = 0;
    QString error;
};

// Reads `source` (number `index` of `count`), showing its frames on `progress`.
SourceInfo readSource(const QString &source, int index, int count, qint64 maxFrames,
                      int timeoutSeconds, cli::ProgressLine &progress)
{
    SourceInfo info;
    RuFile file;
    file.open(source, 'r', timeoutSeconds);
    if (!file.isOpen()) {
        info.error = file.errorString();
        return info;
    }
    progress.setSource(source, index, count);
    while ((maxFrames <= 0 || info.frames < maxFrames) && !cli::StopRequest::requested()) {
        RuFrame frame;
        if (!file.readFrame(frame)) {
            if (file.errorCode() == RRD_ERR_END)
                progress.sourceEnded();
            else if (!cli::StopRequest::requested())
                info.error = QStringLiteral("frame %1: %2").arg(info.frames).arg(file.errorString());
            break;
        }
        if (frame.hasStamp()) {
            if (!info.timed)
                info.firstMicros = frame.timeMicros();
            info.timed = true;
            info.lastMicros = frame.timeMicros();
        }
        ++info.frames;
        progress.frameDone();
    }
    info.format = file.format();
    info.rangegates = file.rangegates();
    return info;
}

QString formatName(int format)
{
    switch (format) {
    case RRD_FORMAT_RAW: return QStringLiteral("RAW");
    case RRD_FORMAT_STAMPED: return QStringLiteral("STAMPED");
    case RRD_FORMAT_RRD0: return QStringLiteral("RRD0");
    default: return QStringLiteral("-");
    }
}

QString utcText(qint64 micros)
{
    return QDateTime::fromMSecsSinceEpoch(micros / 1000, Qt::UTC)
               .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
           + QStringLiteral(" UTC");
}

QString durationText(qint64 micros)
{
    const qint64 ms = micros / 1000;
    const qint64 a = qAbs(ms);
    return QStringLiteral("%1%2:%3:%4.%5 (%6 s)")
        .arg(ms < 0 ? QStringLiteral("-") : QString())
        .arg(a / 3600000, 2, 10, QLatin1Char('0'))
        .arg(a / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(a / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(a % 1000, 3, 10, QLatin1Char('0'))
        .arg(double(micros) / 1e6, 0, 'f', 3);
}

QString block(const QString &source, const SourceInfo &info)
{
    const auto line = [](const char *key, const QString &value) {
        return QStringLiteral("%1 %2\n").arg(QLatin1String(key), -13).arg(value);
    };
    const QString none = QStringLiteral("-");
    QString text = line("source:", source) + line("format:", formatName(info.format))
                   + line("range gates:", QString::number(info.rangegates))
                   + line("frames:", QString::number(info.frames))
                   + line("first frame:", info.timed ? utcText(info.firstMicros) : none)
                   + line("last frame:", info.timed ? utcText(info.lastMicros) : none)
                   + line("duration:",
                          info.timed ? durationText(info.lastMicros - info.firstMicros) : none);
    if (!info.error.isEmpty())
        text += line("error:", info.error);
    return text;
}

QByteArray json(const QString &source, const SourceInfo &info)
{
    QJsonObject o;
    o.insert(QStringLiteral("source"), source);
    o.insert(QStringLiteral("format"), info.format ? formatName(info.format) : QJsonValue());
    o.insert(QStringLiteral("rangegates"), info.rangegates);
    o.insert(QStringLiteral("frames"), info.frames);
    const QJsonValue none(QJsonValue::Null);
    o.insert(QStringLiteral("first_frame_us"), info.timed ? QJsonValue(info.firstMicros) : none);
    o.insert(QStringLiteral("last_frame_us"), info.timed ? QJsonValue(info.lastMicros) : none);
    o.insert(QStringLiteral("duration_s"),
             info.timed ? QJsonValue(double(info.lastMicros - info.firstMicros) / 1e6) : none);
    o.insert(QStringLiteral("error"), info.error.isEmpty() ? none : QJsonValue(info.error));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

int runInfo(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Reads each source to its end and prints its format, range gates, frames and the times "
        "of its first and last frame (UTC). A source is a file, an archive, \"-\" for standard "
        "input or host:port for a stream."));
    const QCommandLineOption maxFrames =
        cli::maxFramesOption(QStringLiteral("Read at most N frames of each source."));
    const QCommandLineOption timeout = cli::timeoutOption();
    const QCommandLineOption asJson(QStringLiteral("json"),
                                    QStringLiteral("Print one JSON object per source, each on a line."));
    parser.addOption(maxFrames);
    parser.addOption(timeout);
    parser.addOption(asJson);
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("Sources to read."),
                                 QStringLiteral("SOURCE..."));
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    qint64 max = 0;
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, &maxFrames, &max, &seconds);
    if (limits >= 0)
        return limits;
    const QStringList sources = parser.positionalArguments();
    if (sources.isEmpty())
        return cli::usageError(Command, QStringLiteral("no SOURCE given"));

    int result = cli::ExitOk;
    cli::StopRequest stop;
    cli::ProgressLine progress(Command);
    for (int i = 0; i < sources.size() && !cli::StopRequest::requested(); ++i) {
        const SourceInfo info = readSource(sources[i], i, sources.size(), max, int(seconds), progress);
        progress.finish();
        if (parser.isSet(asJson))
            cli::printOut(QString::fromUtf8(json(sources[i], info)));
        else
            cli::printOut((i ? QStringLiteral("\n") : QString()) + block(sources[i], info));
        if (!info.error.isEmpty()) {
            cli::printError(Command, sources[i] + QStringLiteral(": ") + info.error);
            result = cli::ExitFailure;
        }
    }
    if (cli::StopRequest::requested()) {
        cli::printError(Command, QStringLiteral("stopped by %1").arg(cli::StopRequest::signalName()));
        return cli::StopRequest::exitStatus();
    }
    return result;
}
