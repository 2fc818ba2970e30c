#include "TcpListener.h"

#include <QSocketNotifier>
#include <QTcpSocket>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

TcpListener::TcpListener(QObject *parent) : QObject(parent)
{
    m_resume.setSingleShot(true);
    connect(&m_resume, &QTimer::timeout, this, [this] {
        m_waiting->setEnabled(true);
        acceptWaiting();
    });
}

TcpListener::~TcpListener()
{
    close();
}

bool TcpListener::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server.listen(address, port))
        return false;
    m_server.pauseAccepting();
    m_waiting.reset(new QSocketNotifier(m_server.socketDescriptor(), QSocketNotifier::Read));
    connect(m_waiting.get(), &QSocketNotifier::activated, this, &TcpListener::acceptWaiting);
    return true;
}

void TcpListener::close()
{
    m_resume.stop();
    m_waiting.reset();
    m_server.close();
}

void TcpListener::acceptWaiting()
{
    while (m_waiting) {
        const int descriptor = ::accept4(int(m_server.socketDescriptor()), nullptr, nullptr,
                                         SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (descriptor < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                pause(errno);
            return;
        }
        m_failing = false;
        m_pauseMs = FirstPauseMs;
        auto *socket = new QTcpSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            ::close(descriptor);
            delete socket;
            continue;
        }
        emit accepted(socket);
    }
}

// The connection stays queued by the system meanwhile.
void TcpListener::pause(int error)
{
    m_waiting->setEnabled(false);
    if (!m_failing)
        emit acceptFailed(QStringLiteral("cannot accept a connection: %1; trying again every %2 s at most")
                              .arg(QString::fromLocal8Bit(std::strerror(error)))
                              .arg(LongestPauseMs / 1000.0));
    m_failing = true;
    m_resume.start(m_pauseMs);
    m_pauseMs = std::min(m_pauseMs * 2, LongestPauseMs);
}
