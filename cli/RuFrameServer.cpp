#include "RuFrameServer.h"

#include "RuFeedReader.h"
#include "RuFrameFeed.h"
#include "TcpListener.h"

#include <QTcpSocket>
#include <QTimer>

#include <cmath>

namespace {
// How long closing connections may take to deliver what is queued for them.
constexpr int FlushGraceMs = 5000;
}

RuFrameServer::RuFrameServer(QObject *parent) : QObject(parent) {}

RuFrameServer::~RuFrameServer() = default;

void RuFrameServer::setScenario(const RuSimulatorOptions &options)
{
    m_feed.reset(new RuFrameFeed(options));
    m_sources.reset();
}

void RuFrameServer::setSources(const QStringList &sources)
{
    m_sources.reset(new RuFrameFeed(sources));
    m_feed.reset();
}

void RuFrameServer::setRate(double framesPerSecond)
{
    m_rate = framesPerSecond > 0 ? framesPerSecond : 1.0;
}

void RuFrameServer::setLoop(bool loop)
{
    m_loop = loop;
}

void RuFrameServer::setBacklogLimit(qint64 bytes)
{
    m_backlogLimit = bytes;
}

quint16 RuFrameServer::serverPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

QString RuFrameServer::errorString() const
{
    return m_error;
}

int RuFrameServer::clientCount() const
{
    return m_clients.size();
}

qint64 RuFrameServer::framesServed() const
{
    return m_served;
}

bool RuFrameServer::listen(const QString &host, quint16 port)
{
    if (!m_feed && !m_sources && !m_reader) {
        m_error = QStringLiteral("no frame source");
        return false;
    }
    QHostAddress address;
    if (host == QLatin1String("localhost"))
        address = QHostAddress::LocalHost;
    else if (host.isEmpty() || host == QLatin1String("*"))
        address = QHostAddress::AnyIPv4;
    else if (!address.setAddress(host)) {
        m_error = QStringLiteral("'%1' is not an IPv4 address").arg(host);
        return false;
    }
    m_server = new TcpListener(this);
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &TcpListener::accepted, this, &RuFrameServer::acceptClient);
    connect(m_server, &TcpListener::acceptFailed, this, &RuFrameServer::acceptFailed);
    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(std::max(1, int(std::lround(1000.0 / m_rate))));
    connect(m_timer, &QTimer::timeout, this, &RuFrameServer::tick);
    if (m_sources)
        m_reader.reset(new RuFeedReader(std::move(m_sources), m_loop));
    return true;
}

void RuFrameServer::acceptClient(QTcpSocket *socket)
{
    if (m_finishing) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    m_clients.append(socket);
    // Whatever a client sends is of no interest; discarding it keeps memory bounded.
    connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->readAll(); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropClient(socket); });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this, socket] { dropClient(socket); });
    emit clientConnected();
    if (!m_timer->isActive()) {
        m_timer->start();
        tick();
    }
}

void RuFrameServer::dropClient(QTcpSocket *socket)
{
    if (!m_clients.removeOne(socket))
        return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (m_finishing)
        closeWhenFlushed();
}

void RuFrameServer::tick()
{
    if (m_finishing)
        return;
    QByteArray frame;
    if (!nextFrame(&frame))
        return;
    ++m_served;
    const QList<QTcpSocket *> clients = m_clients;
    for (QTcpSocket *socket : clients) {
        // A client that has not taken what it was sent misses this frame as a whole.
        if (socket->bytesToWrite() > m_backlogLimit)
            continue;
        if (socket->write(frame) != frame.size())
            dropClient(socket);
    }
}

// The next frame to send; false when there is none yet (a source still reading) or serving
// has ended.
bool RuFrameServer::nextFrame(QByteArray *frame)
{
    if (m_reader) {
        switch (m_reader->take(frame)) {
        case RuFeedReader::Result::Frame: return true;
        case RuFeedReader::Result::NotYet: return false;
        case RuFeedReader::Result::End: finish(QString()); return false;
        case RuFeedReader::Result::Error: finish(m_reader->errorString()); return false;
        }
    }
    switch (m_feed->next(m_loop, frame)) {
    case RuFrameFeed::Result::Frame: return true;
    case RuFrameFeed::Result::End: finish(QString()); return false;
    case RuFrameFeed::Result::Error: finish(m_feed->errorString()); return false;
    }
    return false;
}

void RuFrameServer::stop()
{
    finish(QString());
}

void RuFrameServer::finish(const QString &error)
{
    if (m_finishing)
        return;
    m_finishing = true;
    m_error = error;
    if (m_timer)
        m_timer->stop();
    if (m_server)
        m_server->close();
    // Disconnecting may drop a client at once, so walk a copy.
    const QList<QTcpSocket *> clients = m_clients;
    for (QTcpSocket *socket : clients)
        socket->disconnectFromHost();
    QTimer::singleShot(FlushGraceMs, this, [this] {
        const QList<QTcpSocket *> clients = m_clients;
        for (QTcpSocket *socket : clients)
            dropClient(socket);
        closeWhenFlushed();
    });
    closeWhenFlushed();
}

void RuFrameServer::closeWhenFlushed()
{
    if (m_finished || !m_clients.isEmpty())
        return;
    m_finished = true;
    emit finished();
}
