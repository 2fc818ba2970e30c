#pragma once
// The frames a server sends, one after another, as the bytes of whole frames: from the
// simulator (index by index) or from data sources read in order, optionally starting over.

#include "RuSimulator.h"

#include <QByteArray>
#include <QStringList>

#include <memory>

class RuFile;

class RuFrameFeed
{
public:
    enum class Result { Frame, End, Error };

    explicit RuFrameFeed(const RuSimulatorOptions &options);
    explicit RuFrameFeed(const QStringList &sources);
    ~RuFrameFeed();
    RuFrameFeed(const RuFrameFeed &) = delete;
    RuFrameFeed &operator=(const RuFrameFeed &) = delete;

    // The next frame into `bytes`. End after the last frame unless `loop`; Error with
    // errorString() when a source cannot be opened or holds a bad frame.
    Result next(bool loop, QByteArray *bytes);
    QString errorString() const { return m_error; }

private:
    Result nextFromSources(bool loop, QByteArray *bytes);

    std::unique_ptr<RuSimulator> m_simulator;
    rrd_frame *m_record = nullptr;
    qint64 m_index = 0;

    QStringList m_sources;
    std::unique_ptr<RuFile> m_file;
    int m_source = -1;
    qint64 m_framesThisPass = 0;
    QString m_error;
};
