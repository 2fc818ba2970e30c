#include "OutputDevice.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isStandardOutput(const QString &path)
{
    return path == QLatin1String("-");
}

// True for a path that does not exist yet or names a regular file (also through links).
bool replaceable(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return errno == ENOENT;
    return S_ISREG(status.st_mode);
}

} // namespace

OutputDevice::OutputDevice(const QString &path)
    : m_path(path), m_replaced(!isStandardOutput(path) && replaceable(path))
{
}

// A QSaveFile that is destroyed uncommitted removes its temporary file.
OutputDevice::~OutputDevice() = default;

bool OutputDevice::fail(const QString &what)
{
    m_error = QStringLiteral("cannot write %1: %2").arg(name(), what);
    return false;
}

QString OutputDevice::name() const
{
    return isStandardOutput(m_path) ? QStringLiteral("standard output") : m_path;
}

QString OutputDevice::temporaryFolder() const
{
    return m_replaced ? QFileInfo(m_path).absolutePath() : QDir::tempPath();
}

QIODevice *OutputDevice::device() const
{
    return m_file.get();
}

bool OutputDevice::open()
{
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    bool opened = false;
    if (m_replaced) {
        m_file.reset(new QSaveFile(m_path));
        opened = m_file->open(mode);
    } else {
        auto *file = new QFile(m_path);
        m_file.reset(file);
        opened = isStandardOutput(m_path) ? file->open(STDOUT_FILENO, mode) : file->open(mode);
    }
    return opened || fail(m_file->errorString());
}

bool OutputDevice::writeFully(QIODevice *device, const char *data, qint64 size)
{
    while (size > 0) {
        // A short write leaves the cause unsaid; the next one fails and names it.
        const qint64 written = device->write(data, size);
        if (written <= 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool OutputDevice::write(const char *data, qint64 size)
{
    return writeFully(m_file.get(), data, size) || fail(m_file->errorString());
}

bool OutputDevice::commit()
{
    if (m_replaced) {
        auto *file = static_cast<QSaveFile *>(m_file.get());
        return file->commit() || fail(file->errorString());
    }
    if (!m_file->flush())
        return fail(m_file->errorString());
    m_file->close();
    return true;
}
