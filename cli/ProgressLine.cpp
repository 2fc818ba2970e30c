#include "ProgressLine.h"

#include <QFile>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace cli {

namespace {

constexpr qint64 RedrawMs = 250;

// The reading library does not say how far into a file it has read; the descriptor it reads
// through does. It is the newest one open on the same file.
int descriptorOf(const QString &path, struct stat *wanted)
{
    if (path == QLatin1String("-")) {
        if (::fstat(STDIN_FILENO, wanted) != 0 || !S_ISREG(wanted->st_mode))
            return -1;
        return STDIN_FILENO;
    }
    if (::stat(QFile::encodeName(path).constData(), wanted) != 0 || !S_ISREG(wanted->st_mode))
        return -1;
    const long limit = qMin(::sysconf(_SC_OPEN_MAX), 4096L);
    for (int fd = int(limit) - 1; fd > STDERR_FILENO; --fd) {
        struct stat st = {};
        if (::fstat(fd, &st) == 0 && st.st_dev == wanted->st_dev && st.st_ino == wanted->st_ino)
            return fd;
    }
    return -1;
}

QString clockText(double seconds)
{
    const qint64 s = qint64(seconds + 0.5);
    if (s >= 3600)
        return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
            .arg(s % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ProgressLine::ProgressLine(const QString &command)
    : m_command(command), m_shown(::isatty(STDERR_FILENO) == 1)
{
    m_clock.start();
}

ProgressLine::~ProgressLine()
{
    finish();
}

void ProgressLine::setSource(const QString &path, int index, int count, qint64 totalFrames)
{
    m_index = index;
    m_count = count;
    m_total = totalFrames;
    m_fd = -1;
    m_size = 0;
    m_sourceEnded = false;
    m_sourceStartMs = m_clock.elapsed();
    struct stat st = {};
    if (m_shown && totalFrames <= 0 && (m_fd = descriptorOf(path, &st)) >= 0) {
        m_size = st.st_size;
        m_device = st.st_dev;
        m_inode = st.st_ino;
    }
}

void ProgressLine::sourceEnded()
{
    m_sourceEnded = true;
    m_fd = -1;
}

void ProgressLine::frameDone()
{
    ++m_frames;
    if (m_shown && (m_lastDrawn < 0 || m_clock.elapsed() - m_lastDrawn >= RedrawMs))
        draw();
}

void ProgressLine::finish()
{
    if (!m_shown || m_lastDrawn < 0)
        return;
    m_finished = true;
    draw();
    std::fputc('\n', stderr);
    std::fflush(stderr);
    // A later frame starts a new line.
    m_finished = false;
    m_lastDrawn = -1;
}

// The share of the current source done, from 0 to 1, or -1 when it is not known.
double ProgressLine::share() const
{
    if (m_total > 0)
        return qMin(1.0, double(m_frames) / double(m_total));
    if (m_sourceEnded)
        return 1.0;
    struct stat st = {};
    if (m_fd < 0 || m_size <= 0 || ::fstat(m_fd, &st) != 0 || quint64(st.st_dev) != m_device
        || quint64(st.st_ino) != m_inode)
        return -1.0;
    const off_t position = ::lseek(m_fd, 0, SEEK_CUR);
    if (position < 0)
        return -1.0;
    return qMin(1.0, double(position) / double(m_size));
}

void ProgressLine::draw()
{
    m_lastDrawn = m_clock.elapsed();
    const double seconds = qMax(0.001, m_lastDrawn / 1000.0);
    const double rate = m_frames / seconds;
    QString text = QStringLiteral("%1: %2 frames").arg(m_command).arg(m_frames);
    if (m_total > 0)
        text += QStringLiteral(" of %1").arg(m_total);
    if (m_count > 1)
        text += QStringLiteral(" (source %1 of %2)").arg(m_index + 1).arg(m_count);
    const double done = share();
    if (done >= 0)
        text += QStringLiteral(", %1%").arg(int(done * 100.0));
    text += QStringLiteral(", %1 frames/s").arg(rate, 0, 'f', rate < 10 ? 1 : 0);
    // The time left is that of the current source: its share is all that is known.
    if (done > 0 && !m_finished) {
        const double sourceSeconds = (m_lastDrawn - m_sourceStartMs) / 1000.0;
        text += QStringLiteral(", %1 left").arg(clockText(sourceSeconds * (1.0 - done) / done));
    }
    std::fprintf(stderr, "\r%s\033[K", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace cli
