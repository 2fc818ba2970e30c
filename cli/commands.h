#pragma once
// The commands of rrdcli. Each takes its arguments (without the command name), writes to
// standard output/error and returns the process exit status.

#include <QStringList>

int runInfo(const QStringList &args);
int runSimulate(const QStringList &args);
int runServe(const QStringList &args);
int runAnalyze(const QStringList &args);
int runDump(const QStringList &args);
int runConvert(const QStringList &args);
int runWatch(const QStringList &args);
int runCmdport(const QStringList &args);

int runParams(const QStringList &args);
int runExport(const QStringList &args);
int runSweep(const QStringList &args);
// Needs a QApplication (rrdcli makes one for it).
int runReport(const QStringList &args);
