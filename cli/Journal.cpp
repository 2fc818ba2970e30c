#include "Journal.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

bool isJournalStream(int fd)
{
    const QStringList stream = qEnvironmentVariable("JOURNAL_STREAM").split(QLatin1Char(':'));
    if (stream.size() != 2)
        return false;
    bool deviceOk = false;
    bool inodeOk = false;
    const qulonglong device = stream.at(0).toULongLong(&deviceOk);
    const qulonglong inode = stream.at(1).toULongLong(&inodeOk);
    struct stat status = {};
    return deviceOk && inodeOk && ::fstat(fd, &status) == 0 && status.st_dev == device
           && status.st_ino == inode;
}

QByteArray journalPrefix(int fd, Severity severity)
{
    if (!isJournalStream(fd))
        return QByteArray();
    return '<' + QByteArray::number(int(severity)) + '>';
}

namespace {

Severity severityOf(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg: return Severity::Debug;
    case QtInfoMsg: return Severity::Info;
    case QtWarningMsg: return Severity::Warning;
    case QtCriticalMsg:
    case QtFatalMsg: break;
    }
    return Severity::Error;
}

void writeToJournal(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = '<' + QByteArray::number(int(severityOf(type))) + '>'
                            + qFormatLogMessage(type, context, message).toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void installJournalMessageHandler()
{
    if (isJournalStream(STDERR_FILENO))
        qInstallMessageHandler(writeToJournal);
}

} // namespace cli
