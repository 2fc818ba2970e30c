#include "SkAxisUnits.h"

#include <QAction>
#include <QSettings>

namespace {

const char *const ChannelUnitKey = "display/channelUnit";
const char *const TimeAxisKey = "display/timeAxis";

QAction *newSwitch(const char *name, QObject *parent)
{
    auto *action = new QAction(parent);
    action->setObjectName(QLatin1String(name));
    action->setCheckable(true);
    return action;
}

} // namespace

SkAxisUnits::SkAxisUnits(QObject *parent)
    : QObject(parent),
      m_velocity(newSwitch("velocityAxisAction", this)),
      m_utc(newSwitch("utcTimeAxisAction", this))
{
    retranslate();
    connect(m_velocity, &QAction::toggled, this, &SkAxisUnits::changed);
    connect(m_utc, &QAction::toggled, this, &SkAxisUnits::changed);
}

SkPlotSpectrogram::ChannelUnit SkAxisUnits::channelUnit() const
{
    return m_velocity->isChecked() ? SkPlotSpectrogram::Velocity : SkPlotSpectrogram::Channels;
}

void SkAxisUnits::setChannelUnit(SkPlotSpectrogram::ChannelUnit unit)
{
    m_velocity->setChecked(unit == SkPlotSpectrogram::Velocity);
}

SkTimeScaleDraw::Mode SkAxisUnits::timeMode() const
{
    return m_utc->isChecked() ? SkTimeScaleDraw::Utc : SkTimeScaleDraw::Frames;
}

void SkAxisUnits::setTimeMode(SkTimeScaleDraw::Mode mode)
{
    m_utc->setChecked(mode == SkTimeScaleDraw::Utc);
}

void SkAxisUnits::readSettings(const QSettings &settings)
{
    m_velocity->setChecked(settings.value(QLatin1String(ChannelUnitKey)).toString()
                           == QLatin1String("velocity"));
    m_utc->setChecked(settings.value(QLatin1String(TimeAxisKey)).toString()
                      == QLatin1String("utc"));
}

void SkAxisUnits::writeSettings(QSettings &settings) const
{
    settings.setValue(QLatin1String(ChannelUnitKey),
                      m_velocity->isChecked() ? QStringLiteral("velocity")
                                              : QStringLiteral("channels"));
    settings.setValue(QLatin1String(TimeAxisKey),
                      m_utc->isChecked() ? QStringLiteral("utc") : QStringLiteral("frames"));
}

void SkAxisUnits::retranslate()
{
    m_velocity->setText(tr("Channel Axis in m/s"));
    m_velocity->setToolTip(tr("Radial velocity instead of Doppler channels on the channel "
                              "axes, in the tracker and the readout (frames with a parameter "
                              "block)"));
    m_utc->setText(tr("Time Axes in UTC"));
    m_utc->setToolTip(tr("UTC times with the time-zone offset instead of frame numbers under "
                         "the activity plot and on the time axis of the views over time"));
}
