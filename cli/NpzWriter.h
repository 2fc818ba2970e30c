#pragma once
// A NumPy archive (.npz) as numpy.load opens it: a zip of ".npy" arrays, stored without
// compression, written through libarchive into any QIODevice. Arrays are added whole, each
// with the documented .npy header (version 1.0, C order, little- or big-endian as the host).

#include <QByteArray>
#include <QString>
#include <QVector>

class QIODevice;
struct archive;

class NpzWriter
{
public:
    // Writes into `device`, which must be open for writing and outlive the writer.
    explicit NpzWriter(QIODevice *device);
    ~NpzWriter();
    NpzWriter(const NpzWriter &) = delete;
    NpzWriter &operator=(const NpzWriter &) = delete;

    // Adds "name.npy" of element type `descr` ("<f4", "<i8", ...) and `shape`; the element
    // bytes come from `data`, read from its current position to the end of the array.
    bool addArray(const QString &name, const QByteArray &descr, const QVector<qint64> &shape,
                  QIODevice *data);
    bool addArray(const QString &name, const QByteArray &descr, const QVector<qint64> &shape,
                  const QByteArray &data);
    // Writes the zip's central directory; the archive is complete once this returns true.
    bool close();
    QString errorString() const { return m_error; }

    // The .npy header for an array of `descr` and `shape`, padded so that the data starts
    // at a multiple of 64 bytes.
    static QByteArray npyHeader(const QByteArray &descr, const QVector<qint64> &shape);
    // The descriptor of the host's float32 and int64 ("<f4"/">f4", "<i8"/">i8").
    static QByteArray float32Descr();
    static QByteArray int64Descr();

private:
    bool open();
    bool beginEntry(const QString &name, qint64 size);
    bool writeData(const char *bytes, qint64 size);
    bool fail(const QString &what);

    QIODevice *m_device;
    archive *m_archive = nullptr;
    bool m_failed = false;
    QString m_error;
};
