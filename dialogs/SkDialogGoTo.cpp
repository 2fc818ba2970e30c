#include "SkDialogGoTo.h"
#include "ui_SkDialogGoTo.h"

#include "SkFrameFinder.h"

#include <QDateTime>
#include <QTimeZone>

SkDialogGoTo::SkDialogGoTo(const SkFrameStore &store, int offsetHours, const QDate &shownDay,
                           QWidget *parent)
    : QDialog(parent),
      ui(new Ui::SkDialogGoTo),
      m_store(store),
      m_offsetHours(offsetHours),
      m_shownDay(shownDay)
{
    ui->setupUi(this);
    ui->formatsLabel->setText(
        tr("A frame number (1234), or a date and time in %1: 2024-02-01 06:05:30 (the seconds "
           "and their decimals may be left out), or a time alone (06:05:30) on the day of the "
           "frame shown.")
            .arg(zoneText()));
}

SkDialogGoTo::~SkDialogGoTo() = default;

void SkDialogGoTo::setText(const QString &text)
{
    ui->targetLineEdit->setText(text);
    ui->targetLineEdit->selectAll();
}

QString SkDialogGoTo::text() const
{
    return ui->targetLineEdit->text();
}

// As the frame line names the zone.
QString SkDialogGoTo::zoneText() const
{
    return m_offsetHours == 0 ? QStringLiteral("UTC") : QStringLiteral("UTC %1").arg(m_offsetHours);
}

QString SkDialogGoTo::timeText(qint64 micros) const
{
    const qint64 ms = micros / 1000 + qint64(m_offsetHours) * 3600000;
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())
               .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
           + QLatin1Char(' ') + zoneText();
}

QString SkDialogGoTo::heldText(int first, int last) const
{
    return tr("it holds frames %1 to %2").arg(first).arg(last);
}

void SkDialogGoTo::accept()
{
    using Outcome = SkFrameFinder::Outcome;
    const SkFrameFinder::Target target = SkFrameFinder::parse(text(), m_offsetHours, m_shownDay);
    if (target.kind == SkFrameFinder::Target::Invalid) {
        ui->messageLabel->setText(
            tr("\"%1\" is neither a frame number nor a date and time such as "
               "2024-02-01 06:05:30.")
                .arg(text().trimmed()));
        return;
    }
    const SkFrameFinder::Answer answer = SkFrameFinder::find(m_store, target);
    const bool byTime = target.kind == SkFrameFinder::Target::Time;
    const QString held = heldText(answer.first, answer.last);
    const QString span = answer.timed ? QStringLiteral("%1, %2 to %3")
                                            .arg(held, timeText(answer.firstMicros),
                                                 timeText(answer.lastMicros))
                                      : held;
    QString message;
    switch (answer.outcome) {
    case Outcome::Found:
        m_frame = answer.frame;
        m_outcome = byTime ? tr("Frame %1 (%2) is the nearest held frame to %3")
                                 .arg(answer.frame)
                                 .arg(timeText(answer.frameMicros), timeText(target.micros))
                           : QString();
        QDialog::accept();
        return;
    case Outcome::Empty:
        message = tr("No frames are in memory.");
        break;
    case Outcome::NoTimes:
        message = tr("The frames in memory carry no time (%1): go to a frame number instead.")
                      .arg(held);
        break;
    case Outcome::NoLonger:
        message = byTime ? tr("%1 is before the frames in memory (%2).")
                               .arg(timeText(target.micros), span)
                         : tr("Frame %1 is no longer in memory (%2).").arg(target.frame).arg(held);
        break;
    case Outcome::NotYet:
        message = byTime ? tr("%1 is after the frames in memory (%2).")
                               .arg(timeText(target.micros), span)
                         : tr("Frame %1 is not in memory yet (%2).").arg(target.frame).arg(held);
        break;
    }
    ui->messageLabel->setText(message);
}
