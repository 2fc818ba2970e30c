#pragma once
// The rows of the alarm log a reader wants to see: by detector (avalanche 0 to 2, water
// level, rain) and by kind of event. A row is shown when both its detector and its kind are.
// The source model gives each row's detector and status under SkAlarmLogModel's roles.

#include "RuAlarmEvent.h"

#include <QSortFilterProxyModel>
#include <QString>

class SkAlarmLogFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum Detector { Avalanche0, Avalanche1, Avalanche2, Waterlevel, Rain, DetectorCount };
    // Other: the warnings and errors of the detectors (symmetric range gates, a central peak
    // drop, a background reset, bad frames), which fit none of the four kinds.
    enum Kind { PreAlarm, AlarmOn, AlarmOff, Incident, Other, KindCount };

    explicit SkAlarmLogFilter(QObject *parent = nullptr);

    static Detector detectorOf(RuAlarmEvent::Source source, int index);
    static Kind kindOf(int status);
    // Names that do not change with the language, for the settings.
    static QString detectorKey(Detector detector);
    static QString kindKey(Kind kind);

    bool isDetectorShown(Detector detector) const { return m_detectorShown[detector]; }
    bool isKindShown(Kind kind) const { return m_kindShown[kind]; }
    void setDetectorShown(Detector detector, bool shown);
    void setKindShown(Kind kind, bool shown);
    // Everything is shown.
    bool showsAll() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool m_detectorShown[DetectorCount];
    bool m_kindShown[KindCount];
};
