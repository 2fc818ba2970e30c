#pragma once
// Argument handling shared by the rrdcli commands: parsing with the usual --help and usage
// errors (exit status 2), and the scenario options of simulate and serve.

#include "Journal.h"
#include "RuSimulator.h"

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace cli {

constexpr int ExitOk = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;

// Parses `args` (without the command name) for `command`. Returns -1 when the command should
// run; otherwise the exit status to return at once (0 after --help, 2 after a usage error,
// which has been printed).
int parse(QCommandLineParser &parser, const QString &command, const QStringList &args);

// Prints "rrdcli COMMAND: message" and the hint to --help; returns 2.
int usageError(const QString &command, const QString &message);
// Prints "rrdcli COMMAND: message" to standard error, led by the severity's "<N>" when that
// is the journal.
void printMessage(const QString &command, Severity severity, const QString &message);
// printMessage() as an error.
void printError(const QString &command, const QString &message);
// Prints "rrdcli COMMAND: warning: message" to standard error, as a warning.
void printWarning(const QString &command, const QString &message);
void printOut(const QString &text);

// --scenario, --frames, --rangegates, --format, --interval-ms, --start, --seed, --process-params
void addScenarioOptions(QCommandLineParser &parser);
// Fills `options` from the parser; false with the reason in `error` for a bad value.
bool readScenarioOptions(const QCommandLineParser &parser, RuSimulatorOptions *options,
                         QString *error);

// The limits of the commands that read sources: --max-frames N (described by the caller,
// since it counts per source or in all) and --timeout S, how long a stream may stay silent.
QCommandLineOption maxFramesOption(const QString &description);
QCommandLineOption timeoutOption();
// The detector settings of the commands that run the engine: --params FILE.ini and
// --process-params.
QCommandLineOption paramsOption();
QCommandLineOption processParamsOption();
// Reads --timeout into `seconds` (default 10) and, when `maxFrames` is given, --max-frames
// into `max` (0 = no limit). Returns -1 when both are good, else the usage status (printed).
int readLimits(const QCommandLineParser &parser, const QString &command,
               const QCommandLineOption *maxFrames, qint64 *max, qint64 *seconds);

// A whole number in [min, max]; false when `text` is not one.
bool toInt(const QString &text, qint64 min, qint64 max, qint64 *value);

} // namespace cli
