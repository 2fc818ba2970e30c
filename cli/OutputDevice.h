#pragma once
// Where a command writes the file it makes (export, params). "-" is standard output. A path
// that names a FIFO, a device or anything else that is not a regular file is written in
// place: a rename would put a regular file where the pipe or the device was. A regular file
// or a new name is written under a temporary name in its folder and takes the name only on
// commit(), so a failure leaves an earlier file of that name as it was.
//
// Writes are unbuffered and repeated after a short write, so that a failure in the middle of
// one (a disk that fills up) names its cause.

#include <QString>

#include <memory>

class QFileDevice;
class QIODevice;

class OutputDevice
{
public:
    explicit OutputDevice(const QString &path);
    // Removes the temporary file of an output that was not committed.
    ~OutputDevice();
    OutputDevice(const OutputDevice &) = delete;
    OutputDevice &operator=(const OutputDevice &) = delete;

    // False with errorString() set.
    bool open();
    bool write(const char *data, qint64 size);
    // Gives a replaced output its name; flushes one written in place.
    bool commit();
    // For writers that take a device (open() first); write through it with writeFully().
    QIODevice *device() const;
    QString errorString() const { return m_error; }

    // "standard output" for "-", else the path.
    QString name() const;
    // True when the output appears only once complete (a regular file or a new name).
    bool isReplacedWhole() const { return m_replaced; }
    // Where temporary files that belong to the output go: its own folder when it is a file
    // (the same disk), otherwise the system's.
    QString temporaryFolder() const;

    // Writes all `size` bytes into `device`; false when a write fails, with the device's
    // error string naming the cause.
    static bool writeFully(QIODevice *device, const char *data, qint64 size);

private:
    bool fail(const QString &what);

    const QString m_path;
    bool m_replaced = false;
    std::unique_ptr<QFileDevice> m_file; // a QSaveFile when replaced, else a QFile
    QString m_error;
};
