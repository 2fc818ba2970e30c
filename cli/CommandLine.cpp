#include "CommandLine.h"

#include "RuNearestWord.h"

#include <QRegularExpression>

#include <cstdio>

namespace cli {

namespace {

// The long options a parser knows, as its help lists them ("--max-frames").
QStringList longOptions(const QCommandLineParser &parser)
{
    QStringList names;
    static const QRegularExpression option(QStringLiteral("(?:^|[\\s,])(--[a-z][a-z0-9-]*)"));
    auto it = option.globalMatch(parser.helpText());
    while (it.hasNext()) {
        const QString name = it.next().captured(1);
        if (!names.contains(name))
            names << name;
    }
    return names;
}

// "unknown option --frmes (did you mean --frames?)", options shown as they are typed.
QString unknownOptionText(const QCommandLineParser &parser)
{
    const QString name = parser.unknownOptionNames().constFirst();
    const QString typed = (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    QString text = QStringLiteral("unknown option %1").arg(typed);
    const QString guess = ruNearestWord(QStringLiteral("--") + name, longOptions(parser));
    if (!guess.isEmpty())
        text += QStringLiteral(" (did you mean %1?)").arg(guess);
    return text;
}

} // namespace

int parse(QCommandLineParser &parser, const QString &command, const QStringList &args)
{
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    if (!parser.parse(QStringList{QStringLiteral("rrdcli ") + command} + args)) {
        if (!parser.unknownOptionNames().isEmpty())
            return usageError(command, unknownOptionText(parser));
        return usageError(command, parser.errorText());
    }
    if (parser.isSet(help)) {
        // The parser names the program by its path; show the command instead.
        QString text = parser.helpText();
        const int options = text.indexOf(QStringLiteral(" [options]"));
        if (text.startsWith(QStringLiteral("Usage: ")) && options > 0)
            text = QStringLiteral("Usage: rrdcli ") + command + text.mid(options);
        printOut(text);
        return ExitOk;
    }
    return -1;
}

int usageError(const QString &command, const QString &message)
{
    printError(command, message + QStringLiteral("\n(see 'rrdcli ") + command
                            + QStringLiteral(" --help')"));
    return ExitUsage;
}

void printError(const QString &command, const QString &message)
{
    std::fprintf(stderr, "rrdcli %s: %s\n", qPrintable(command), message.toLocal8Bit().constData());
}

void printOut(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

bool toInt(const QString &text, qint64 min, qint64 max, qint64 *value)
{
    bool ok = false;
    const qint64 v = text.toLongLong(&ok);
    if (!ok || v < min || v > max)
        return false;
    *value = v;
    return true;
}

QCommandLineOption maxFramesOption(const QString &description)
{
    return QCommandLineOption(QStringLiteral("max-frames"), description, QStringLiteral("N"));
}

QCommandLineOption timeoutOption()
{
    return QCommandLineOption(
        QStringLiteral("timeout"),
        QStringLiteral("Seconds a stream may stay silent before it counts as failed (default 10, "
                       "0 = wait for ever)."),
        QStringLiteral("S"));
}

QCommandLineOption paramsOption()
{
    return QCommandLineOption(QStringLiteral("params"),
                              QStringLiteral("Parameter file (INI) to apply."),
                              QStringLiteral("FILE.ini"));
}

QCommandLineOption processParamsOption()
{
    return QCommandLineOption(
        QStringLiteral("process-params"),
        QStringLiteral("Take the settings from the first frame's process parameters."));
}

int readLimits(const QCommandLineParser &parser, const QString &command,
               const QCommandLineOption *maxFrames, qint64 *max, qint64 *seconds)
{
    *seconds = 10;
    if (maxFrames) {
        *max = 0;
        if (parser.isSet(*maxFrames) && !toInt(parser.value(*maxFrames), 1, 1LL << 40, max))
            return usageError(command, QStringLiteral("--max-frames needs a positive whole number"));
    }
    const QString timeout = QStringLiteral("timeout");
    if (parser.isSet(timeout) && !toInt(parser.value(timeout), 0, 86400, seconds))
        return usageError(command, QStringLiteral("--timeout needs a whole number of seconds"));
    return -1;
}

void addScenarioOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {QStringLiteral("scenario"),
         QStringLiteral("What happens: quiet, avalanche, rain, waterlevel or mixed."),
         QStringLiteral("name")},
        {QStringLiteral("frames"), QStringLiteral("Frames of the recording (default 600)."),
         QStringLiteral("N")},
        {QStringLiteral("rangegates"), QStringLiteral("Range gates per frame (default 20)."),
         QStringLiteral("R")},
        {QStringLiteral("format"), QStringLiteral("Frame format: raw, stamped or rrd0 (default)."),
         QStringLiteral("format")},
        {QStringLiteral("interval-ms"),
         QStringLiteral("Milliseconds between frame times (default 1000)."), QStringLiteral("MS")},
        {QStringLiteral("start"),
         QStringLiteral("Time of the first frame, ISO 8601 in UTC (default 2024-02-01T06:00:00Z)."),
         QStringLiteral("time")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the noise (default 1)."),
         QStringLiteral("S")},
        {QStringLiteral("process-params"),
         QStringLiteral("Write detector settings that suit the scenarios into every frame (rrd0).")},
    });
}

bool readScenarioOptions(const QCommandLineParser &parser, RuSimulatorOptions *options,
                         QString *error)
{
    const auto fail = [error](const QString &message) {
        *error = message;
        return false;
    };
    if (parser.isSet(QStringLiteral("scenario"))
        && !options->setScenario(parser.value(QStringLiteral("scenario"))))
        return fail(QStringLiteral("unknown scenario '%1' (quiet, avalanche, rain, waterlevel, mixed)")
                        .arg(parser.value(QStringLiteral("scenario"))));
    if (parser.isSet(QStringLiteral("format"))
        && !options->setFormat(parser.value(QStringLiteral("format"))))
        return fail(QStringLiteral("unknown format '%1' (raw, stamped, rrd0)")
                        .arg(parser.value(QStringLiteral("format"))));
    qint64 v = 0;
    if (parser.isSet(QStringLiteral("frames"))) {
        if (!toInt(parser.value(QStringLiteral("frames")), 1, 100000000, &v))
            return fail(QStringLiteral("--frames needs a whole number from 1 to 100000000"));
        options->frames = int(v);
    }
    const int maxGates = options->format == RRD_FORMAT_RAW ? RRD_MAX_RANGEGATE_NUMBER + 1 : 1024;
    if (parser.isSet(QStringLiteral("rangegates"))) {
        if (!toInt(parser.value(QStringLiteral("rangegates")), 1, maxGates, &v))
            return fail(QStringLiteral("--rangegates needs a whole number from 1 to %1 for this format")
                            .arg(maxGates));
        options->rangegates = int(v);
    }
    if (parser.isSet(QStringLiteral("interval-ms"))) {
        if (!toInt(parser.value(QStringLiteral("interval-ms")), 1, 86400000, &v))
            return fail(QStringLiteral("--interval-ms needs a whole number from 1 to 86400000"));
        options->intervalMs = int(v);
    }
    if (parser.isSet(QStringLiteral("start"))
        && !options->setStart(parser.value(QStringLiteral("start"))))
        return fail(QStringLiteral("--start needs a date-time like 2024-02-01T06:00:00Z"));
    if (parser.isSet(QStringLiteral("seed"))) {
        bool ok = false;
        options->seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok)
            return fail(QStringLiteral("--seed needs a whole number"));
    }
    options->processParams = parser.isSet(QStringLiteral("process-params"));
    if (options->processParams && options->format != RRD_FORMAT_RRD0)
        return fail(QStringLiteral("--process-params needs --format rrd0 (only RRD0 frames carry them)"));
    return true;
}

} // namespace cli
