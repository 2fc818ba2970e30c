#include "SkAlarmIndicator.h"

#include <QEvent>

namespace {

const QString ClearStyle = QStringLiteral("QLabel { padding: 1px 6px; }");
// Set on the label itself, so that no palette or style sheet of the window turns it grey.
const QString AlarmStyle = QStringLiteral(
    "QLabel { padding: 1px 6px; color: white; background: #c00000; font-weight: bold; }");

} // namespace

SkAlarmIndicator::SkAlarmIndicator(QWidget *parent) : QLabel(parent)
{
    setObjectName(QStringLiteral("alarmIndicator"));
    showAlarms();
}

void SkAlarmIndicator::setAlarms(const SkActiveAlarms &alarms)
{
    m_alarms = alarms;
    showAlarms();
}

void SkAlarmIndicator::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        showAlarms();
    QLabel::changeEvent(event);
}

void SkAlarmIndicator::showAlarms()
{
    const QStringList names = m_alarms.names();
    if (names.isEmpty()) {
        setText(tr("Alarm: clear"));
        setStyleSheet(ClearStyle);
        setToolTip(tr("No detector is in alarm"));
        return;
    }
    setText(tr("ALARM: %1").arg(names.join(QStringLiteral(", "))));
    setStyleSheet(AlarmStyle);
    QStringList lines;
    for (const QString &name : names) {
        const SkActiveAlarms::Since since = m_alarms.since(name);
        lines << (since.time.isEmpty()
                      ? tr("%1 on since frame %2").arg(name).arg(since.frame)
                      : tr("%1 on since frame %2 (%3 UTC)").arg(name).arg(since.frame).arg(since.time));
    }
    setToolTip(lines.join(QLatin1Char('\n')));
}
