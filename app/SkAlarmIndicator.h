#pragma once
// The status bar's alarm indicator: names the detectors in alarm now, as the log's tags name
// them ("ALARM: AV0-1, WL0", white on red), or says that none is ("Alarm: clear"). Its tool
// tip says since which frame (and time) each alarm is on. It shows what the alarm log
// follows (SkAlarmLogModel::activeAlarmsChanged), so a restarted analysis clears it too.

#include "SkActiveAlarms.h"

#include <QLabel>

class SkAlarmIndicator : public QLabel
{
    Q_OBJECT

public:
    explicit SkAlarmIndicator(QWidget *parent = nullptr);

    void setAlarms(const SkActiveAlarms &alarms);

protected:
    void changeEvent(QEvent *event) override;

private:
    void showAlarms();

    SkActiveAlarms m_alarms;
};
