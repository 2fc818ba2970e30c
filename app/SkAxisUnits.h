#pragma once
// The operator's choice of units for the window's axes, as two switches of the Display menu:
// the channel axes, the tracker and the readout in radial velocity (m/s) or in Doppler
// channels, and the axes that count frames (the frame slider under the activity plot, the
// time axis of the views over time) in frames or as UTC times with the window's time-zone
// offset. Both are kept in the settings ("display/channelUnit", "display/timeAxis").

#include "SkPlotSpectrogram.h"
#include "SkTimeScaleDraw.h"

#include <QObject>

class QAction;
class QSettings;

class SkAxisUnits : public QObject
{
    Q_OBJECT

public:
    explicit SkAxisUnits(QObject *parent = nullptr);

    // Checkable actions for a menu ("velocityAxisAction", "utcTimeAxisAction"); children.
    QAction *velocityAction() const { return m_velocity; }
    QAction *utcTimeAction() const { return m_utc; }

    SkPlotSpectrogram::ChannelUnit channelUnit() const;
    void setChannelUnit(SkPlotSpectrogram::ChannelUnit unit);
    SkTimeScaleDraw::Mode timeMode() const;
    void setTimeMode(SkTimeScaleDraw::Mode mode);

    // A value the settings hold but this version does not know keeps the default (channels,
    // frames).
    void readSettings(const QSettings &settings);
    void writeSettings(QSettings &settings) const;
    // The actions' texts in the language now installed.
    void retranslate();

signals:
    // Either choice changed (by the user or by readSettings).
    void changed();

private:
    QAction *m_velocity; // child
    QAction *m_utc;      // child
};
