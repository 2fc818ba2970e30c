#pragma once
// A TCP server that behaves as the radar's data stream: every connection receives whole
// frames, from a frame boundary on, at a fixed rate; nothing is expected from the clients.
// Frames come from the simulator or from data sources read in order (and again with loop).
//
// The clock starts with the first connection, so a client that connects right after the
// server starts sees the recording from its first frame. A client that cannot keep up has
// whole frames skipped (never part of one) and does not slow the others down.
//
// The server may live in any thread; call its slots from that thread (or queued).

#include "RuSimulator.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <memory>

class QTcpSocket;
class QTimer;
class RuFeedReader;
class RuFrameFeed;
class TcpListener;

class RuFrameServer : public QObject
{
    Q_OBJECT
public:
    explicit RuFrameServer(QObject *parent = nullptr);
    ~RuFrameServer() override;

    // The frame source; set one before listen().
    void setScenario(const RuSimulatorOptions &options);
    void setSources(const QStringList &sources);
    void setRate(double framesPerSecond);
    void setLoop(bool loop);
    // Unsent bytes above which a client's next frames are skipped (default 4 MiB).
    void setBacklogLimit(qint64 bytes);

    quint16 serverPort() const;
    QString errorString() const;
    int clientCount() const;
    qint64 framesServed() const;

public slots:
    // Starts listening; false with errorString() when the address cannot be bound or no
    // frame source was set. Sources are read ahead on a thread of their own from here on,
    // so a source that blocks (standard input) never stalls the clients or a stop. Port 0 picks a free port (see serverPort()).
    bool listen(const QString &host, quint16 port);
    // Ends serving: stops listening, lets every client receive what is queued for it and
    // closes the connections; finished() follows.
    void stop();

signals:
    void clientConnected();
    // Serving has ended: after the last frame (without loop), after stop(), or after a
    // source failed (errorString() then says why). All connections are closed.
    void finished();
    // Clients could not be accepted (out of file descriptors); accepting goes on after a
    // pause. Said once for each spell of failures.
    void acceptFailed(const QString &reason);

private:
    void acceptClient(QTcpSocket *socket);
    void tick();
    bool nextFrame(QByteArray *frame);
    void finish(const QString &error);
    void dropClient(QTcpSocket *socket);
    void closeWhenFlushed();

    std::unique_ptr<RuFrameFeed> m_feed;     // the simulator's, read in the event loop
    std::unique_ptr<RuFrameFeed> m_sources;  // handed to m_reader at listen()
    std::unique_ptr<RuFeedReader> m_reader;  // sources, which may block, read on a thread
    TcpListener *m_server = nullptr; // child
    QTimer *m_timer = nullptr;      // child
    QList<QTcpSocket *> m_clients;  // children until they disconnect
    double m_rate = 1.0;
    bool m_loop = false;
    bool m_finishing = false;
    bool m_finished = false;
    qint64 m_backlogLimit = 4 << 20;
    qint64 m_served = 0;
    QString m_error;
};
