// rrdcli sweep: every parameter set over the same frames in one pass, for tuning the detectors
// on a recording:
//
//   rrdcli sweep SOURCE... [--params BASE.ini] (--params-set FILE.ini ... | --vary KEY=A:B:S ...)
//                [--events EVENTS.csv [--tolerance S]] [--jobs N] [--jsonl] -o DIR
//
// writes DIR/<k>.ini (set k's whole parameter file), DIR/<k>.log.csv (its alarm log, as
// `rrdcli analyze --log --params DIR/<k>.ini` prints it) and DIR/summary.csv, and prints the
// summary (CSV, or one JSON object per set with --jsonl).

#include "Analysis.h"
#include "CommandLine.h"
#include "OutputDevice.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "SweepEvents.h"
#include "SweepPlan.h"
#include "SweepRunner.h"
#include "SweepSummary.h"
#include "commands.h"

#include "RuParameterFile.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

namespace {

const QString Command = QStringLiteral("sweep");

// More sets than a tuning run needs, and each holds an engine in memory.
constexpr qint64 MostSets = 1000;

struct Options
{
    QStringList sources;
    QString base;
    QStringList files;
    QVector<cli::SweepVariation> variations;
    QString events;
    double tolerance = 0.0;
    int jobs = 1;
    bool jsonl = false;
    QString dir;
    qint64 maxFrames = 0;
    qint64 timeout = 10;
};

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Runs every parameter set over the same frames of the sources in one pass (each frame "
        "read once, the sets on all cores) and writes into DIR: <k>.ini, set k's whole "
        "parameter file; <k>.log.csv, its alarm log as 'rrdcli analyze --log --params "
        "DIR/<k>.ini' prints it; summary.csv, one row per set. The sets are the --params-set "
        "files, each read over BASE.ini, or every combination of the --vary values (the first "
        "--vary varies slowest, the last fastest), numbered from 1. With --events each set is "
        "scored against the known events: score = 2 caught / (2 caught + missed + false "
        "alarms), best first. The summary is also printed: CSV, or JSON with --jsonl."));
    parser.addOptions({
        {QStringLiteral("params"),
         QStringLiteral("The settings every set starts from, a parameter file (default: the "
                        "built-in ones, every detector off)."),
         QStringLiteral("BASE.ini")},
        {QStringLiteral("params-set"),
         QStringLiteral("A parameter set: a parameter file read over BASE.ini (repeat the "
                        "option for each set)."),
         QStringLiteral("FILE.ini")},
        {QStringLiteral("vary"),
         QStringLiteral("Vary a numeric key of BASE.ini from FROM to TO in steps of STEP, such "
                        "as av00/threshold=2.0:3.0:0.2 (repeat for a grid)."),
         QStringLiteral("SECTION/KEY=FROM:TO:STEP")},
        {QStringLiteral("events"),
         QStringLiteral("Known events to score the sets against: CSV lines start,end[,detector], "
                        "frame numbers or UTC times, detector av00, av01, av02, rain0, "
                        "waterlevel0 or none for any."),
         QStringLiteral("EVENTS.csv")},
        {QStringLiteral("tolerance"),
         QStringLiteral("Seconds an alarm may lie before or after an event and still catch it "
                        "(default 0)."),
         QStringLiteral("S")},
        {QStringLiteral("jobs"),
         QStringLiteral("Threads that run the sets (default: the cores)."), QStringLiteral("N")},
        {QStringLiteral("jsonl"), QStringLiteral("Print the summary as one JSON object per set.")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("The folder to write into: new or empty."), QStringLiteral("DIR")},
        cli::maxFramesOption(QStringLiteral("Read at most N frames (of all sources together).")),
        cli::timeoutOption(),
    });
    parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("Sources to analyse, in order."),
                                 QStringLiteral("SOURCE..."));
}

// -1 when the options are good, else the usage status (printed).
int readOptions(const QCommandLineParser &parser, Options *o)
{
    o->sources = parser.positionalArguments();
    if (o->sources.isEmpty())
        return cli::usageError(Command, QStringLiteral("no SOURCE given"));
    if (!parser.isSet(QStringLiteral("o")))
        return cli::usageError(Command, QStringLiteral("give the folder to write into with -o DIR"));
    o->dir = parser.value(QStringLiteral("o"));
    o->base = parser.value(QStringLiteral("params"));
    o->files = parser.values(QStringLiteral("params-set"));
    const QStringList varied = parser.values(QStringLiteral("vary"));
    if (o->files.isEmpty() == varied.isEmpty())
        return cli::usageError(Command, QStringLiteral("give the sets either as --params-set FILE.ini "
                                                       "... or as --vary SECTION/KEY=FROM:TO:STEP ..."));
    for (const QString &text : varied) {
        cli::SweepVariation v;
        QString error;
        if (!cli::SweepVariation::parse(text, &v, &error))
            return cli::usageError(Command, error);
        for (const cli::SweepVariation &earlier : qAsConst(o->variations))
            if (earlier.key() == v.key())
                return cli::usageError(Command, QStringLiteral("%1 is varied twice").arg(v.key()));
        o->variations << v;
    }
    const qint64 sets = o->files.isEmpty() ? cli::SweepVariation::gridSize(o->variations) : o->files.size();
    if (sets > MostSets)
        return cli::usageError(Command, QStringLiteral("%1 parameter sets, more than %2: give "
                                                       "larger steps or fewer keys")
                                            .arg(sets).arg(MostSets));
    o->events = parser.value(QStringLiteral("events"));
    if (parser.isSet(QStringLiteral("tolerance"))) {
        bool ok = false;
        o->tolerance = parser.value(QStringLiteral("tolerance")).toDouble(&ok);
        if (!ok || !(o->tolerance >= 0) || o->tolerance > 1e9)
            return cli::usageError(Command, QStringLiteral("--tolerance needs a number of seconds, 0 or more"));
        if (o->events.isEmpty())
            return cli::usageError(Command, QStringLiteral("--tolerance needs --events"));
    }
    qint64 jobs = QThread::idealThreadCount();
    if (parser.isSet(QStringLiteral("jobs")) && !cli::toInt(parser.value(QStringLiteral("jobs")), 1, 1024, &jobs))
        return cli::usageError(Command, QStringLiteral("--jobs needs a whole number from 1 to 1024"));
    o->jobs = int(jobs);
    o->jsonl = parser.isSet(QStringLiteral("jsonl"));
    const QCommandLineOption maxFrames = cli::maxFramesOption(QString());
    return cli::readLimits(parser, Command, &maxFrames, &o->maxFrames, &o->timeout);
}

// A new or empty folder, so that no file of an earlier sweep is taken for one of this.
int makeFolder(const QString &dir)
{
    const QFileInfo info(dir);
    if (info.exists() && !info.isDir())
        return cli::usageError(Command, QStringLiteral("%1 is not a folder").arg(dir));
    if (info.exists() && !QDir(dir).isEmpty())
        return cli::usageError(Command, QStringLiteral("%1 is not empty: give a new or empty "
                                                       "folder (nothing is overwritten)")
                                            .arg(dir));
    if (!QDir().mkpath(dir)) {
        cli::printError(Command, QStringLiteral("cannot make the folder %1").arg(dir));
        return cli::ExitFailure;
    }
    return -1;
}

void printWarnings(const QStringList &warnings)
{
    for (const QString &warning : warnings)
        cli::printError(Command, QStringLiteral("warning: ") + warning);
}

// The sets of the options; false with the failure printed.
bool makePlan(const Options &o, cli::SweepPlan *plan)
{
    RuAlarmCalculator builtIn;
    RuParameterSet base = RuParameterSet::fromCalculator(builtIn);
    if (!o.base.isEmpty()) {
        const RuParameterFile file = RuParameterFile::read(o.base, base);
        printWarnings(file.warnings());
        if (!file.isRead()) {
            cli::printError(Command, file.error());
            return false;
        }
        base = file.parameters();
    }
    if (o.files.isEmpty()) {
        *plan = cli::SweepPlan::fromGrid(base, o.variations);
        return true;
    }
    QStringList warnings;
    QString error;
    const bool made = cli::SweepPlan::fromFiles(base, o.files, plan, &warnings, &error);
    printWarnings(warnings);
    if (!made)
        cli::printError(Command, error);
    return made;
}

// One engine per set, each reading its written parameter file; false with the failure printed.
bool addSets(const Options &o, const cli::SweepPlan &plan, cli::SweepRunner *runner)
{
    for (const cli::SweepSet &set : plan.sets()) {
        const QString log = QDir(o.dir).filePath(QStringLiteral("%1.log.csv").arg(set.number));
        QStringList warnings;
        QString error;
        const bool added = runner->addSet(cli::SweepPlan::iniPath(o.dir, set.number), log, &warnings, &error);
        printWarnings(warnings);
        if (!added) {
            cli::printError(Command, error);
            return false;
        }
        if (runner->allDetectorsOff(set.number - 1))
            cli::printError(Command, QStringLiteral("warning: set %1: all detectors are off").arg(set.number));
    }
    return true;
}

// Writes summary.csv and prints the summary; false with the failure printed.
bool writeSummary(const Options &o, const cli::SweepPlan &plan, const cli::SweepRunner &runner,
                  const cli::SweepEvents &events)
{
    cli::SweepSummary summary(plan, !events.isEmpty());
    for (int i = 0; i < plan.sets().size(); ++i) {
        const cli::SweepTally &tally = runner.tally(i);
        summary.add(plan.sets()[i], tally,
                    events.isEmpty() ? cli::SweepScore() : events.score(tally, runner.frameTimes(), o.tolerance));
    }
    const QByteArray csv = summary.csv();
    OutputDevice out(QDir(o.dir).filePath(QStringLiteral("summary.csv")));
    if (!out.open() || !out.write(csv.constData(), csv.size()) || !out.commit()) {
        cli::printError(Command, out.errorString());
        return false;
    }
    cli::printOut(QString::fromUtf8(o.jsonl ? summary.jsonLines() : csv));
    return true;
}

} // namespace

int runSweep(const QStringList &args)
{
    QCommandLineParser parser;
    describe(parser);
    const int status = cli::parse(parser, Command, args);
    if (status >= 0)
        return status;
    Options o;
    const int usage = readOptions(parser, &o);
    if (usage >= 0)
        return usage;
    cli::SweepEvents events;
    QString error;
    if (!o.events.isEmpty() && !cli::SweepEvents::read(o.events, &events, &error)) {
        cli::printError(Command, error);
        return cli::ExitFailure;
    }
    cli::SweepPlan plan;
    if (!makePlan(o, &plan))
        return cli::ExitFailure;
    const int folder = makeFolder(o.dir);
    if (folder >= 0)
        return folder;
    if (!plan.write(o.dir, &error)) {
        cli::printError(Command, error);
        return cli::ExitFailure;
    }
    cli::SweepRunner runner(o.jobs);
    if (!addSets(o, plan, &runner))
        return cli::ExitFailure;

    cli::StopRequest stop;
    cli::FrameRun run(o.sources, int(o.timeout));
    {
        cli::ProgressLine progress(Command);
        run.setProgress(&progress);
        runner.run(run, o.maxFrames, Command);
        progress.finish();
    }
    QStringList failures;
    const bool logsWritten = runner.finish(&failures);
    for (const QString &failure : qAsConst(failures))
        cli::printError(Command, failure);
    for (const QString &problem : events.unreachable(runner.frameTimes()))
        cli::printError(Command, QStringLiteral("warning: %1: %2").arg(o.events, problem));
    if (!writeSummary(o, plan, runner, events) || !logsWritten)
        return cli::ExitFailure;
    if (cli::StopRequest::requested()) {
        cli::printError(Command, QStringLiteral("stopped by %1 after %2 frames")
                                     .arg(cli::StopRequest::signalName())
                                     .arg(run.framesRead()));
        return cli::StopRequest::exitStatus();
    }
    return run.hadErrors() ? cli::ExitFailure : cli::ExitOk;
}
