#pragma once
// The sources a command line names, in the order they are read. Files, "-" and host:port
// streams stay as given. A folder stands for the data files in it and in every folder below
// it (*.rrd, *.rrd0, *.rrd.gz, *.rrd0.gz, *.zip), a wildcard for what it matches (folders
// among the matches as folders), so a station's record folder, with its "rdata" and "alarm"
// minute files, is one source list.
//
// The files of one folder or wildcard are read in time order: minute files are named by
// their UTC start ("20250314T101500Z.rrd0.gz", "...Z-1.rrd0.gz" for a second file started in
// the same second), wherever below the folder they lie; files named otherwise follow them in
// the order of their paths. The arguments themselves keep the order given.

#include <QString>
#include <QStringList>

namespace cli {

struct SourceList
{
    QStringList sources;
    // Folders and wildcards that name no data file.
    QStringList empty;
    // For each folder or wildcard that holds both minute files and files named otherwise:
    // the argument, and the files named otherwise.
    QList<QPair<QString, QStringList>> unordered;

    static SourceList expand(const QStringList &arguments);
};

// The expanded sources for `command`: warns about files that cannot be put in time order;
// false after an error for each folder or wildcard that names no data file.
bool expandSources(const QString &command, const QStringList &arguments, QStringList *sources);

} // namespace cli
