// rrdcli: the radar-data tools without a window.

#include "CommandLine.h"
#include "RuNearestWord.h"
#include "commands.h"


#include <QCoreApplication>

#include <cstdio>
#include <cstring>

namespace {

struct Command
{
    const char *name;
    int (*run)(const QStringList &);
    const char *summary;
};

const Command commands[] = {
    {"info", runInfo, "print format, range gates, frames and times of sources"},
    {"simulate", runSimulate, "write a simulated recording"},
    {"serve", runServe, "serve frames over TCP like the radar's data stream"},
    {"analyze", runAnalyze, "run the detectors over sources: JSON per frame or the alarm log"},
    {"dump", runDump, "print the details and computed texts of one frame"},
    {"convert", runConvert, "concatenate files, keeping every n-th frame, optionally averaged"},
    {"watch", runWatch, "run the live pipeline: detectors, alarm log, recording, alarm script"},
    {"cmdport", runCmdport, "stand in for the radar's command port: log and answer command lines"},

    {"params", runParams, "write the detector settings as a parameter file (INI)"},
    {"export", runExport, "write the matrices the viewer shows to NumPy (.npz) or CSV"},
};

void printUsage(FILE *out)
{
    std::fprintf(out, "usage: rrdcli COMMAND [OPTIONS] ...\n\ncommands:\n");
    for (const Command &c : commands)
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "  %-10s %s\n", "help", "describe rrdcli or one COMMAND");
    std::fprintf(out, "\n'rrdcli help COMMAND' or 'rrdcli COMMAND --help' describes a command;\n"
                      "'rrdcli --version' prints the version.\n"
                      "Exit status: 0 success, 1 a failure of the data or the system, 2 wrong usage,\n"
                      "128 + N after signal N (130 Ctrl+C, 143 SIGTERM).\n");
}

const Command *find(const QString &name)
{
    for (const Command &c : commands) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

int unknownCommand(const QString &name)
{
    QStringList names{QStringLiteral("help")};
    for (const Command &c : commands)
        names << QLatin1String(c.name);
    QString text = QStringLiteral("rrdcli: unknown command '%1'").arg(name);
    const QString guess = ruNearestWord(name, names);
    if (!guess.isEmpty())
        text += QStringLiteral(" (did you mean '%1'?)").arg(guess);
    std::fprintf(stderr, "%s\n\n", text.toLocal8Bit().constData());
    printUsage(stderr);
    return cli::ExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rrdcli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SK_VERSION));
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        printUsage(stderr);
        return cli::ExitUsage;
    }
    const QString first = args.first();
    if (first == QLatin1String("--help") || first == QLatin1String("-h")) {
        printUsage(stdout);
        return cli::ExitOk;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-V")) {
        std::printf("rrdcli %s\n", SK_VERSION);
        return cli::ExitOk;
    }
    if (first == QLatin1String("help")) {
        if (args.size() == 1 || args.at(1) == QLatin1String("help")) {
            printUsage(stdout);
            return cli::ExitOk;
        }
        const Command *command = find(args.at(1));
        return command ? command->run({QStringLiteral("--help")}) : unknownCommand(args.at(1));
    }
    const Command *command = find(first);
    if (!command) {
        if (first.startsWith(QLatin1Char('-')))
            std::fprintf(stderr, "rrdcli: '%s' comes after a COMMAND\n", qPrintable(first));
        return unknownCommand(first);
    }
    return command->run(args.mid(1));
}
