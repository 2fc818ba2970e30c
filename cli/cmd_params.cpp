// rrdcli params: the detector settings as a parameter file, in the INI form the viewer
// exports and imports and `--params` reads: the engine's built-in settings, the radar's own
// from the first frame of a source (--process-params SOURCE), or those a parameter file gives
// (--params FILE: the file checked and written out whole, with every slip named).

#include "Analysis.h"
#include "CommandLine.h"
#include "OutputDevice.h"
#include "commands.h"

#include "RuParameterSet.h"
#include "RuParameterTable.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const QString Command = QStringLiteral("params");

// Writes `set` as INI to `path` ("-" for standard output); false with the cause printed.
// QSettings writes only files of its own, so the text is made in one aside and copied; the
// output then goes through OutputDevice, which leaves a pipe or a device what it is.
bool writeIni(const RuParameterSet &set, const QString &path)
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        cli::printError(Command, QStringLiteral("cannot make a temporary folder: %1").arg(dir.errorString()));
        return false;
    }
    const QString aside = dir.filePath(QStringLiteral("params.ini"));
    {
        QSettings settings(aside, QSettings::IniFormat);
        RuParameterTable::write(settings, set);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            cli::printError(Command, QStringLiteral("%1: the parameter file could not be made").arg(aside));
            return false;
        }
    }
    QFile file(aside);
    if (!file.open(QIODevice::ReadOnly)) {
        cli::printError(Command, QStringLiteral("%1: %2").arg(aside, file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    OutputDevice out(path);
    if (!out.open() || !out.write(bytes.constData(), bytes.size()) || !out.commit()) {
        cli::printError(Command, out.errorString());
        return false;
    }
    return true;
}

} // namespace

int runParams(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes the detector settings as a parameter file (INI, sections params, av00, av01, "
        "av02, rain0, waterlevel0) that the viewer and --params read: the built-in settings "
        "(every detector off), with --process-params the radar's own settings carried by "
        "the first frame of SOURCE, or with --params those FILE.ini gives, every value it "
        "holds that cannot be used named in a warning. To standard output unless -o FILE is "
        "given."));
    const QCommandLineOption processParams(
        QStringLiteral("process-params"),
        QStringLiteral("Take the settings from the first frame's process parameters of SOURCE."),
        QStringLiteral("SOURCE"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The parameter file to write (- for standard output)."),
                                    QStringLiteral("FILE.ini"));
    const QCommandLineOption params = cli::paramsOption();
    const QCommandLineOption timeout = cli::timeoutOption();
    parser.addOptions({processParams, params, output, timeout});
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    if (!parser.positionalArguments().isEmpty())
        return cli::usageError(Command, QStringLiteral("unexpected argument '%1' (the source goes after --process-params)")
                                            .arg(parser.positionalArguments().constFirst()));
    if (parser.isSet(params) && parser.isSet(processParams))
        return cli::usageError(Command, QStringLiteral("--params and --process-params exclude each other"));
    qint64 seconds = 0;
    const int limits = cli::readLimits(parser, Command, nullptr, nullptr, &seconds);
    if (limits >= 0)
        return limits;

    RuAlarmCalculator calculator;
    if (parser.isSet(params) && !cli::loadParameterOption(Command, parser.value(params), &calculator))
        return cli::ExitFailure;
    if (parser.isSet(processParams)) {
        cli::FrameRun run({parser.value(processParams)}, int(seconds));
        RuFrame frame;
        if (!run.next(Command, &frame)) {
            if (!run.hadErrors())
                cli::printError(Command, QStringLiteral("%1 holds no frame").arg(parser.value(processParams)));
            return cli::ExitFailure;
        }
        QString error;
        if (!cli::loadProcessParameters(frame, &calculator, &error)) {
            cli::printError(Command, parser.value(processParams) + QStringLiteral(": ") + error);
            return cli::ExitFailure;
        }
    }
    const RuParameterSet set = RuParameterSet::fromCalculator(calculator);
    const QString path = parser.isSet(output) ? parser.value(output) : QStringLiteral("-");
    return writeIni(set, path) ? cli::ExitOk : cli::ExitFailure;
}
