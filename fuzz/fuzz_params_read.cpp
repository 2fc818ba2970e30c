// libFuzzer target of the parameter-file reader: the input bytes are a parameter file, read
// as rrdcli's --params and the viewer's import read one. Besides never crashing, hanging or
// touching memory it does not own, the reader must keep what it takes inside the ranges the
// parameter docks accept, and a file written from what it took must read back unchanged and
// without a word.

#include "RuParameterFile.h"
#include "RuParameterTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

QByteArray folder()
{
    const QString base = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm")
                                                                              : QDir::tempPath();
    return QFile::encodeName(base + QStringLiteral("/fuzz_params_read.%1").arg(::getpid()));
}

// Every input's files are removed as it is done with, so the folder is empty by then.
void removeFolder() { ::rmdir(folder().constData()); }

// A name of its own for every input: QSettings keeps a parsed file by its name and would take
// a file rewritten within the same millisecond at the same size for the one it knows.
QString freshPath()
{
    static const QString dir = [] {
        const QString d = QFile::decodeName(folder());
        if (!QDir().mkpath(d) || std::atexit(removeFolder) != 0)
            std::abort();
        return d;
    }();
    static quint64 count = 0;
    return dir + QStringLiteral("/%1.ini").arg(++count);
}

QString put(const QByteArray &bytes)
{
    const QString path = freshPath();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::abort();
    return path;
}

QByteArray written(const RuParameterSet &set)
{
    const QString path = freshPath();
    {
        QSettings settings(path, QSettings::IniFormat);
        RuParameterTable::write(settings, set);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        std::abort();
    const QByteArray bytes = file.readAll();
    QFile::remove(path);
    return bytes;
}

void check(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_params_read: %s\n", what);
        std::abort();
    }
}

// The built-in settings brought into the docks' ranges (the water-level window of 0 channels
// is not), so that whatever lies outside them came from the file.
RuParameterSet inRange()
{
    RuParameterSet set;
    RuParameterTable::clamp(set);
    return set;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const RuParameterSet base = inRange();
    const QString path = put(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    const RuParameterFile file = RuParameterFile::read(path, base);
    QFile::remove(path);
    check(file.isRead() != file.error().contains(path), "an error that does not name the file");
    if (!file.isRead())
        return 0;

    // Every number taken lies where the docks could have put it.
    RuParameterSet clamped = file.parameters();
    RuParameterTable::clamp(clamped);
    const QByteArray text = written(file.parameters());
    check(written(clamped) == text, "a value outside the docks' ranges was taken");

    // What was taken is written so that it reads back as itself, without a warning.
    const QString again = put(text);
    const RuParameterFile reread = RuParameterFile::read(again, base);
    QFile::remove(again);
    check(reread.isRead() && reread.warnings().isEmpty(), "a written file reads back with a warning");
    check(written(reread.parameters()) == text, "a written file reads back as other settings");
    return 0;
}
