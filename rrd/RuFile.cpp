#include "RuFile.h"

#include "RuFrame.h"
#include "rrd.h"

#include <QFile>
#include <QRegularExpression>

#include <limits>

struct RuFile::Private
{
    rrd_file *handle = nullptr;
    bool stream = false;

    void release()
    {
        rrd_free(handle);
        handle = nullptr;
        stream = false;
    }
};

RuFile::RuFile() : d(new Private) {}

RuFile::RuFile(const QString &name, char mode) : d(new Private)
{
    open(name, mode, 0);
}

RuFile::~RuFile()
{
    d->release();
}

bool RuFile::isStreamAddress(const QString &name, QString *host, quint16 *port)
{
    static const QRegularExpression expr(QRegularExpression::anchoredPattern(
        QStringLiteral("([\\w\\.]+):(\\d+)")));
    const QRegularExpressionMatch m = expr.match(name);
    if (!m.hasMatch())
        return false;
    if (host)
        *host = m.captured(1);
    if (port)
        *port = m.captured(2).toUShort();
    return true;
}

void RuFile::open(const QString &name, char mode, int timeoutSeconds)
{
    // The replaced handle is never used again; closing it here frees it in time.
    d->release();
    QString host;
    if (isStreamAddress(name, &host)) {
        const QString service = name.mid(host.size() + 1);
        d->handle = rrd_connect(host.toLatin1().constData(), service.toLatin1().constData());
        if (d->handle && rrd_is_open(d->handle))
            rrd_set_timeout(d->handle, timeoutSeconds);
        d->stream = true;
    } else {
        // The file system's own encoding: Latin-1 would turn every name outside it into '?'
        // and miss umlauts stored as UTF-8.
        d->handle = rrd_open(QFile::encodeName(name).constData(), mode);
    }
}

bool RuFile::atEnd() const
{
    if (!d->handle || !rrd_is_open(d->handle))
        return true;
    return rrd_eof(d->handle) != 0;
}

bool RuFile::close()
{
    return !d->handle || rrd_close(d->handle) == 0;
}

bool RuFile::flush()
{
    return rrd_flush(d->handle) == 0;
}

bool RuFile::isOpen() const
{
    return d->handle && rrd_is_open(d->handle) && rrd_ok(d->handle);
}

quint32 RuFile::position() const
{
    return rrd_position(d->handle);
}

bool RuFile::readFrame(RuFrame &frame)
{
    rrd_frame *record = rrd_frame_new(rrd_format(d->handle), rrd_rangegates(d->handle));
    if (!record || rrd_read_frame(d->handle, record) != 0) {
        rrd_frame_free(record);
        return false;
    }
    frame.setRecord(record);
    return true;
}

int RuFile::seek(qint64 index)
{
    return rrd_seek(d->handle, index);
}

qint32 RuFile::frameCount()
{
    int64_t count = 0;
    if (rrd_frame_total(d->handle, &count) != 0)
        return 0;
    return static_cast<qint32>(qMin<int64_t>(count, std::numeric_limits<qint32>::max()));
}

QString RuFile::errorString() const
{
    return QString::fromLocal8Bit(rrd_strerror(d->handle));
}

int RuFile::errorCode() const
{
    return rrd_errno(d->handle);
}

int RuFile::writeFrame(const RuFrame &frame)
{
    return rrd_write_frame(d->handle, frame.record(), nullptr);
}

bool RuFile::isStream() const
{
    return d->stream;
}

int RuFile::format() const
{
    return static_cast<int>(rrd_format(d->handle));
}

int RuFile::rangegates() const
{
    return rrd_rangegates(d->handle);
}
