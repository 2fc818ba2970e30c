#pragma once
// Listens on a TCP port and hands over every connection as a socket, also when the process
// runs out of file descriptors. QTcpServer cannot be trusted there: once an accept has found
// no connection waiting (as every burst of accepts ends), its socket engine keeps that first
// error, so a later "too many open files" looks temporary and the server spins on the
// waiting connection at full load. Here the accepts are our own: such a failure is reported
// once, and accepting pauses and starts again after a pause that doubles while it lasts.

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QTimer>

#include <memory>

class QSocketNotifier;
class QTcpSocket;

class TcpListener : public QObject
{
    Q_OBJECT

public:
    static constexpr int FirstPauseMs = 100;
    static constexpr int LongestPauseMs = 2000;

    explicit TcpListener(QObject *parent = nullptr);
    ~TcpListener() override;

    // False with errorString() when the address cannot be bound.
    bool listen(const QHostAddress &address, quint16 port);
    // Stops listening; sockets handed over stay open.
    void close();
    quint16 serverPort() const { return m_server.serverPort(); }
    QString errorString() const { return m_server.errorString(); }

signals:
    // A new connection; the socket is a child of the listener until the receiver reparents
    // or deletes it.
    void accepted(QTcpSocket *socket);
    // Connections cannot be accepted for now (out of descriptors or memory); said once for
    // each spell of failures.
    void acceptFailed(const QString &reason);

private:
    void acceptWaiting();
    void pause(int error);

    QTcpServer m_server; // binds and listens; its own accepting stays paused
    std::unique_ptr<QSocketNotifier> m_waiting;
    QTimer m_resume;
    int m_pauseMs = FirstPauseMs;
    bool m_failing = false;
};
