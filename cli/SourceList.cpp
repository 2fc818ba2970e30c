#include "SourceList.h"

#include "CommandLine.h"
#include "RuFile.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <glob.h>

namespace cli {

namespace {

const QStringList DataFilePatterns = {QStringLiteral("*.rrd"), QStringLiteral("*.rrd0"),
                                      QStringLiteral("*.rrd.gz"), QStringLiteral("*.rrd0.gz"),
                                      QStringLiteral("*.zip")};

bool isWildcard(const QString &argument)
{
    return argument.contains(QLatin1Char('*')) || argument.contains(QLatin1Char('?'))
           || argument.contains(QLatin1Char('['));
}

// Where a file comes in time order: minute files by the UTC start in their name (whole
// seconds, so the text sorts as the time does), then the counter of a second file started
// in the same second; files named otherwise after them, by path.
struct TimeKey
{
    bool minuteFile = false;
    QString start;
    int counter = 0;
    QString path;

    explicit TimeKey(const QString &file) : path(file)
    {
        static const QRegularExpression name(
            QStringLiteral("^(\\d{8}T\\d{6}Z)(?:-(\\d{1,9}))?\\.rrd0?(?:\\.gz)?$"));
        const QRegularExpressionMatch m = name.match(QFileInfo(file).fileName());
        if (!m.hasMatch())
            return;
        minuteFile = true;
        start = m.captured(1);
        counter = m.captured(2).toInt();
    }

    bool operator<(const TimeKey &other) const
    {
        if (minuteFile != other.minuteFile)
            return minuteFile;
        if (start != other.start)
            return start < other.start;
        if (counter != other.counter)
            return counter < other.counter;
        return path < other.path;
    }
};

// The data files in `folder` and below it.
QStringList filesBelow(const QString &folder)
{
    QStringList files;
    QDirIterator it(folder, DataFilePatterns, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(it.next());
    return files;
}

// What a wildcard matches; folders among the matches stand for their data files.
QStringList matches(const QString &pattern)
{
    QStringList files;
    glob_t found = {};
    if (::glob(QFile::encodeName(pattern).constData(), GLOB_NOSORT, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc; ++i) {
            const QString path = QFile::decodeName(found.gl_pathv[i]);
            if (QFileInfo(path).isDir())
                files.append(filesBelow(path));
            else
                files.append(path);
        }
    }
    ::globfree(&found);
    return files;
}

} // namespace

SourceList SourceList::expand(const QStringList &arguments)
{
    SourceList list;
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        const bool folder = info.isDir();
        if (!folder && (info.exists() || !isWildcard(argument) || RuFile::isStreamAddress(argument))) {
            list.sources.append(argument);
            continue;
        }
        const QStringList files = folder ? filesBelow(argument) : matches(argument);
        if (files.isEmpty()) {
            list.empty.append(argument);
            continue;
        }
        std::vector<TimeKey> keys(files.cbegin(), files.cend());
        std::sort(keys.begin(), keys.end());
        QStringList otherNames;
        for (const TimeKey &key : keys) {
            list.sources.append(key.path);
            if (!key.minuteFile)
                otherNames.append(key.path);
        }
        if (!otherNames.isEmpty() && keys.front().minuteFile)
            list.unordered.append({argument, otherNames});
    }
    return list;
}

bool expandSources(const QString &command, const QStringList &arguments, QStringList *sources)
{
    const SourceList list = SourceList::expand(arguments);
    for (const auto &unordered : list.unordered) {
        printWarning(command, QStringLiteral("%1: %2 file(s) not named by their UTC start (%3) "
                                             "are read after its minute files, in the order of "
                                             "their paths")
                                  .arg(unordered.first)
                                  .arg(unordered.second.size())
                                  .arg(unordered.second.constFirst()));
    }
    for (const QString &empty : list.empty) {
        printError(command, QFileInfo(empty).isDir()
                                ? QStringLiteral("%1: no data file (%2) in this folder or below it")
                                      .arg(empty, DataFilePatterns.join(QStringLiteral(", ")))
                                : QStringLiteral("%1: the wildcard matches no file").arg(empty));
    }
    *sources = list.sources;
    return list.empty.isEmpty();
}

} // namespace cli
