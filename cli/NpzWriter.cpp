#include "NpzWriter.h"

#include "OutputDevice.h"

#include <QDateTime>
#include <QIODevice>
#include <QSysInfo>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

la_ssize_t writeToDevice(archive *a, void *client, const void *buffer, size_t length)
{
    auto *device = static_cast<QIODevice *>(client);
    if (!OutputDevice::writeFully(device, static_cast<const char *>(buffer), qint64(length))) {
        archive_set_error(a, EIO, "%s", qPrintable(device->errorString()));
        return -1;
    }
    return la_ssize_t(length);
}

QByteArray hostOrder(char kind, int bytes)
{
    const char order = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? '<' : '>';
    return QByteArray(1, order) + kind + QByteArray::number(bytes);
}

} // namespace

NpzWriter::NpzWriter(QIODevice *device) : m_device(device) {}

NpzWriter::~NpzWriter()
{
    if (m_archive)
        archive_write_free(m_archive);
}

QByteArray NpzWriter::float32Descr() { return hostOrder('f', 4); }
QByteArray NpzWriter::int64Descr() { return hostOrder('i', 8); }

QByteArray NpzWriter::npyHeader(const QByteArray &descr, const QVector<qint64> &shape)
{
    QByteArray dims;
    for (qint64 n : shape)
        dims += QByteArray::number(n) + ", ";
    // A tuple of one needs its comma ("(3,)"); longer ones end without it, as NumPy writes.
    dims.chop(shape.size() == 1 ? 1 : 2);
    QByteArray dict = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" + dims
                      + "), }";
    const int prefix = 10; // magic, version, header length
    const int total = prefix + dict.size() + 1;
    dict += QByteArray((64 - total % 64) % 64, ' ') + '\n';
    QByteArray header("\x93NUMPY\x01\x00", 8);
    header += char(dict.size() & 0xff);
    header += char((dict.size() >> 8) & 0xff);
    return header + dict;
}

bool NpzWriter::fail(const QString &what)
{
    m_failed = true;
    m_error = what + QStringLiteral(": ")
              + (m_archive && archive_error_string(m_archive)
                     ? QString::fromLocal8Bit(archive_error_string(m_archive))
                     : m_device->errorString());
    return false;
}

bool NpzWriter::open()
{
    if (m_archive)
        return true;
    m_archive = archive_write_new();
    if (!m_archive) {
        m_failed = true;
        m_error = QStringLiteral("out of memory");
        return false;
    }
    // No block padding: the zip's end record must be the last bytes of the file.
    if (archive_write_set_format_zip(m_archive) != ARCHIVE_OK
        || archive_write_set_options(m_archive, "zip:compression=store") != ARCHIVE_OK
        || archive_write_set_bytes_in_last_block(m_archive, 1) != ARCHIVE_OK
        || archive_write_open(m_archive, m_device, nullptr, writeToDevice, nullptr) != ARCHIVE_OK)
        return fail(QStringLiteral("cannot start the zip archive"));
    return true;
}

bool NpzWriter::beginEntry(const QString &name, qint64 size)
{
    if (m_failed || !open())
        return false;
    std::unique_ptr<archive_entry, void (*)(archive_entry *)> entry(archive_entry_new(),
                                                                    archive_entry_free);
    archive_entry_set_pathname(entry.get(), qPrintable(name + QStringLiteral(".npy")));
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_size(entry.get(), size);
    archive_entry_set_mtime(entry.get(), QDateTime::currentSecsSinceEpoch(), 0);
    if (archive_write_header(m_archive, entry.get()) != ARCHIVE_OK)
        return fail(QStringLiteral("cannot add %1.npy").arg(name));
    return true;
}

bool NpzWriter::writeData(const char *bytes, qint64 size)
{
    while (size > 0) {
        const la_ssize_t n = archive_write_data(m_archive, bytes, size_t(size));
        if (n <= 0)
            return fail(QStringLiteral("cannot write the archive"));
        bytes += n;
        size -= n;
    }
    return true;
}

bool NpzWriter::addArray(const QString &name, const QByteArray &descr,
                         const QVector<qint64> &shape, const QByteArray &data)
{
    const QByteArray header = npyHeader(descr, shape);
    return beginEntry(name, header.size() + data.size())
           && writeData(header.constData(), header.size())
           && writeData(data.constData(), data.size());
}

bool NpzWriter::addArray(const QString &name, const QByteArray &descr,
                         const QVector<qint64> &shape, QIODevice *data)
{
    const QByteArray header = npyHeader(descr, shape);
    qint64 left = data->size() - data->pos();
    if (!beginEntry(name, header.size() + left) || !writeData(header.constData(), header.size()))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    while (left > 0) {
        const qint64 n = data->read(chunk.data(), qMin<qint64>(left, chunk.size()));
        if (n <= 0) {
            m_failed = true;
            m_error = QStringLiteral("cannot read back the data of %1.npy: %2")
                          .arg(name, data->errorString());
            return false;
        }
        if (!writeData(chunk.constData(), n))
            return false;
        left -= n;
    }
    return true;
}

bool NpzWriter::close()
{
    if (m_failed || !open())
        return false;
    if (archive_write_close(m_archive) != ARCHIVE_OK)
        return fail(QStringLiteral("cannot finish the zip archive"));
    return true;
}
