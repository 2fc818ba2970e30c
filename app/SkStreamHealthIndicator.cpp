#include "SkStreamHealthIndicator.h"

#include "SkLiveSession.h"
#include "SkStreamHealth.h"

namespace {

const QColor AttentionColor(0xc0, 0x00, 0x00);

} // namespace

SkStreamHealthIndicator::SkStreamHealthIndicator(const SkLiveSession *session, QWidget *parent)
    : QLabel(parent), m_session(session)
{
    setObjectName(QStringLiteral("streamHealthIndicator"));
    setContentsMargins(6, 0, 6, 0);
    m_timer.setInterval(RefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &SkStreamHealthIndicator::refresh);
    connect(session->streamMonitor(), &SkStreamMonitor::stateChanged, this,
            &SkStreamHealthIndicator::onStateChanged);
    connect(session, &SkLiveSession::recordingChanged, this, &SkStreamHealthIndicator::refresh);
    onStateChanged(session->streamMonitor()->state());
}

void SkStreamHealthIndicator::onStateChanged(SkStreamMonitor::State state)
{
    // Only an open stream changes by itself: its age grows, its retry counts down.
    const bool live = state != SkStreamMonitor::NoStream && state != SkStreamMonitor::Ended;
    if (live && !m_timer.isActive())
        m_timer.start();
    else if (!live)
        m_timer.stop();
    setVisible(state != SkStreamMonitor::NoStream);
    refresh();
}

void SkStreamHealthIndicator::refresh()
{
    const SkStreamHealth health = SkStreamHealth::of(*m_session);
    setText(health.text());
    setToolTip(health.toolTip());
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, health.needsAttention()
                                               ? AttentionColor
                                               : QPalette().color(QPalette::WindowText));
    setPalette(colours);
}
