#pragma once
// The frame source and sink both programs use: a data file, a gzip file, an archive,
// standard input/output ("-") or the radar's TCP stream ("host:port").

#include <QString>

#include <memory>

class RuFrame;

class RuFile
{
public:
    RuFile();
    // Opens at once; a stream waits for ever for data.
    RuFile(const QString &name, char mode);
    ~RuFile();
    RuFile(const RuFile &) = delete;
    RuFile &operator=(const RuFile &) = delete;

    // Opens `name` in place of any previous handle; a stream gets a receive time-out of
    // `timeoutSeconds` (0 = wait for ever).
    void open(const QString &name, char mode, int timeoutSeconds = 0);

    bool atEnd();
    void close();
    // The result of the last close of a handle: 0, or -1 when completing the file failed
    // (buffered bytes or the end of a gzip stream could not be written), so a writer can
    // tell a complete output from a truncated one.
    int closeResult() const;
    bool isOpen() const;
    quint32 position() const;
    bool readFrame(RuFrame &frame);
    int seek(qint64 index);
    qint32 frameCount();
    QString errorString() const;
    // The library's rrd_error_code of the handle (RRD_ERR_NONE, RRD_ERR_END, ...): callers
    // decide on it rather than on texts. A failed read keeps its code and text even after
    // atEnd() has cleared the handle's system errors.
    int errorCode() const;
    int writeFrame(const RuFrame &frame);
    bool isStream() const;

    // The frame format (1 raw, 2 stamped, 3 RRD0) and range gates of the handle; 0 until known.
    int format() const;
    int rangegates() const;

    // True when `name` is a stream address "host:port" (host of word characters and dots).
    static bool isStreamAddress(const QString &name, QString *host = nullptr,
                                quint16 *port = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
