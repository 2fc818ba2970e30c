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

    // True when the input ended cleanly at a frame boundary (or there is no open handle).
    bool atEnd() const;
    // Completes and closes the file (the end of a gzip stream, buffered bytes): false when
    // that failed, errorString() and errorCode() then saying why. The outcome stays until
    // the next open() or the object's end.
    bool close();
    // Pushes the frames written so far out to the file (a gzip writer completes its blocks):
    // a program killed afterwards leaves them readable. False with the error, as above.
    bool flush();
    bool isOpen() const;
    quint32 position() const;
    bool readFrame(RuFrame &frame);
    int seek(qint64 index);
    qint32 frameCount();
    QString errorString() const;
    // The library's rrd_error_code of the handle (RRD_ERR_NONE, RRD_ERR_END, ...): callers
    // decide on it rather than on texts.
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
