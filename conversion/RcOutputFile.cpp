#include "RcOutputFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}

// Mode bits a new file gets from the process (0666 less the umask). The umask is read, not
// set and restored: another thread creating a file in between would get no mask at all.
mode_t newFileMode()
{
    mode_t mask = 022;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint value = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok)
                    mask = mode_t(value);
            }
        }
    }
    return 0666 & ~mask;
}

} // namespace

RcOutputFile::RcOutputFile(const QString &path) : m_path(path) {}

RcOutputFile::~RcOutputFile()
{
    if (!m_committed)
        discard();
}

bool RcOutputFile::sameFile(const QString &a, const QString &b)
{
    struct stat sa = {};
    struct stat sb = {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0
        || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool RcOutputFile::open(QString *error)
{
    const QFileInfo info(m_path);
    // A link is followed, so that the file it names gets the frames, as a plain write would.
    m_target = info.isSymLink() ? info.symLinkTarget() : m_path;
    const QFileInfo target(m_target);
    const bool inPlace = m_path == QLatin1String("-") || (target.exists() && !target.isFile());
    if (inPlace) {
        m_file.open(m_path, 'w');
    } else {
        // Same folder, so the final rename stays on one file system; the ending is kept
        // because it chooses the compression.
        const QString suffix = m_target.endsWith(QLatin1String(".gz")) ? QStringLiteral(".gz")
                                                                        : QString();
        QByteArray pattern = QFile::encodeName(target.absolutePath() + QLatin1String("/.")
                                               + target.fileName() + QLatin1String(".XXXXXX")
                                               + suffix);
        const int fd = ::mkstemps(pattern.data(), suffix.size());
        if (fd < 0) {
            // The file is made in the folder, whose rights may differ from an old output's.
            *error = QStringLiteral("cannot create a file in %1: %2")
                         .arg(QDir::toNativeSeparators(target.absolutePath()), systemError(errno));
            return false;
        }
        ::close(fd);
        m_temporary = QFile::decodeName(pattern);
        m_file.open(m_temporary, 'w');
    }
    if (!m_file.isOpen()) {
        *error = m_file.errorString();
        return false;
    }
    return true;
}

bool RcOutputFile::commit(QString *error)
{
    // A handle that went bad on the way is a failed write, whatever its close says.
    if (!m_file.isOpen() || !m_file.close()) {
        *error = m_file.errorString();
        return false;
    }
    if (m_temporary.isEmpty()) {
        m_committed = true;
        return true;
    }
    const QByteArray temporary = QFile::encodeName(m_temporary);
    // The data reaches the disk before the name does, so a crash never leaves a name over a
    // file with holes. An existing output keeps its permissions.
    const int fd = ::open(temporary.constData(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) {
        *error = systemError(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    struct stat old = {};
    const QByteArray target = QFile::encodeName(m_target);
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    ::chmod(temporary.constData(), mode);
    if (std::rename(temporary.constData(), target.constData()) != 0) {
        *error = systemError(errno);
        return false;
    }
    m_committed = true;
    return true;
}

void RcOutputFile::discard()
{
    m_file.close();
    if (!m_temporary.isEmpty())
        QFile::remove(m_temporary);
}
