// rrdcli: the radar-data tools without a window.

#include "commands.h"

#include "rrd.h"

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
};

void printUsage(FILE *out)
{
    std::fprintf(out, "usage: rrdcli COMMAND [OPTIONS] ...\n\ncommands:\n");
    for (const Command &c : commands)
        std::fprintf(out, "  %-10s %s\n", c.name, c.summary);
    std::fprintf(out, "\n'rrdcli COMMAND --help' describes a command.\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rrdcli"));
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        printUsage(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    QStringList args = QCoreApplication::arguments().mid(2);
    for (const Command &c : commands) {
        if (!std::strcmp(argv[1], c.name)) {
            rrd_net_init();
            const int status = c.run(args);
            rrd_net_cleanup();
            return status;
        }
    }
    std::fprintf(stderr, "rrdcli: unknown command '%s'\n\n", argv[1]);
    printUsage(stderr);
    return 2;
}
