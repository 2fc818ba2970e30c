// rrdcli convert: the converter without its window. Runs the same worker over the inputs
// in the order given and ends with the converter's finishing message:
//
//   rrdcli convert -o OUTPUT [--drop D] [--average R] INPUT...
//
// Inputs are files (or "-" for standard input); like the converter it never connects to a
// stream. Progress goes to standard error only when that is a terminal. The exit status is 0
// only when every frame of every input was read and written (frames skipped by --drop
// aside); Ctrl+C or SIGTERM complete the frames written so far into the output and exit
// with 130 or 143.

#include "CommandLine.h"
#include "ProgressLine.h"
#include "StopRequest.h"
#include "commands.h"

#include "RcWorker.h"

#include <QFileInfo>

#include <cstdio>

namespace {

const QString Command = QStringLiteral("convert");

// A file name that looks like "host:port" would be taken for a stream: the absolute path
// keeps every input a file.
QString asFile(const QString &name)
{
    return name == QLatin1String("-") ? name : QFileInfo(name).absoluteFilePath();
}

void abortWorker(void *worker)
{
    static_cast<RcWorker *>(worker)->abort();
}

} // namespace

int runConvert(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Concatenates INPUT files into OUTPUT (gzip when it ends in .gz), keeping the first frame\n"
        "and then every (D+1)-th; with R > 1 each kept frame holds the mean of the last R frames\n"
        "read. Format and range gates of OUTPUT follow its first frame."));
    parser.addOptions({
        {{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The output file."),
         QStringLiteral("OUTPUT")},
        {QStringLiteral("drop"), QStringLiteral("Frames skipped after each frame written (default 0)."),
         QStringLiteral("D")},
        {QStringLiteral("average"),
         QStringLiteral("Frames averaged into each frame written, 1 to 999 (default 1: none)."),
         QStringLiteral("R")},
    });
    parser.addPositionalArgument(QStringLiteral("INPUT"), QStringLiteral("Input files in order."),
                                 QStringLiteral("INPUT..."));
    const int parsed = cli::parse(parser, Command, args);
    if (parsed >= 0)
        return parsed;

    const QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty())
        return cli::usageError(Command, QStringLiteral("the output file (-o OUTPUT) is missing"));
    const QStringList names = parser.positionalArguments();
    if (names.isEmpty())
        return cli::usageError(Command, QStringLiteral("no input files"));
    qint64 drop = 0;
    if (parser.isSet(QStringLiteral("drop"))
        && !cli::toInt(parser.value(QStringLiteral("drop")), 0, INT32_MAX / 2, &drop))
        return cli::usageError(Command, QStringLiteral("--drop needs a whole number of at least 0"));
    qint64 average = 1;
    if (parser.isSet(QStringLiteral("average"))
        && !cli::toInt(parser.value(QStringLiteral("average")), 1, 999, &average))
        return cli::usageError(Command, QStringLiteral("--average needs a whole number from 1 to 999"));

    QStringList inputs;
    for (const QString &name : names)
        inputs << asFile(name);
    RcWorker worker(0, asFile(output), inputs, int(average), int(drop));
    bool failed = true;
    QString message;
    QObject::connect(&worker, &RcWorker::finished, [&](int, bool f, const QString &m) {
        failed = f;
        message = m;
    });
    cli::ProgressLine progress(Command);
    QObject::connect(&worker, &RcWorker::inputOpened, [&](int index, const QString &path) {
        progress.setSource(path, index, inputs.size());
    });
    // The first report (0) comes before any frame, then one after each frame read, and a
    // last one after the end.
    bool started = false;
    bool ended = false;
    QObject::connect(&worker, &RcWorker::progressChanged, [&] {
        if (started && !ended)
            progress.frameDone();
        started = true;
    });
    QObject::connect(&worker, &RcWorker::finished, [&] {
        ended = true;
        if (worker.wroteEverything())
            progress.sourceEnded();
    });
    {
        cli::StopRequest stop(abortWorker, &worker);
        worker.run();
    }
    progress.finish();
    const QString text = QStringLiteral("%1! %2")
                             .arg(failed ? QStringLiteral("Failed") : QStringLiteral("Finished"), message)
                             .trimmed();
    // Frames written to standard output must not be mixed with the message.
    FILE *out = failed || output == QLatin1String("-") ? stderr : stdout;
    std::fprintf(out, "%s\n", text.toLocal8Bit().constData());
    std::fflush(out);
    if (failed)
        return cli::ExitFailure;
    if (cli::StopRequest::requested()) {
        cli::printError(Command, QStringLiteral("stopped by %1: %2 frames written to %3")
                                     .arg(cli::StopRequest::signalName())
                                     .arg(worker.framesWritten())
                                     .arg(output));
        return cli::StopRequest::exitStatus();
    }
    return worker.wroteEverything() ? cli::ExitOk : cli::ExitFailure;
}
