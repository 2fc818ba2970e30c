#include "SkUpdateThrottle.h"

SkUpdateThrottle::SkUpdateThrottle(int intervalMs, QObject *parent)
    : QObject(parent), m_interval(intervalMs)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SkUpdateThrottle::fire);
}

void SkUpdateThrottle::request()
{
    if (m_timer.isActive())
        return; // the trailing update will pick this request up
    if (!m_last.isValid() || m_last.elapsed() >= m_interval) {
        fire();
        return;
    }
    m_timer.start(int(m_interval - m_last.elapsed()));
}

void SkUpdateThrottle::flush()
{
    if (m_timer.isActive()) {
        m_timer.stop();
        fire();
    }
}

void SkUpdateThrottle::fire()
{
    m_last.start();
    emit due();
}
