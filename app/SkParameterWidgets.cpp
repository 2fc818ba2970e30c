#include "SkParameterWidgets.h"

#include "RuParameterTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

namespace {

void avalancheRows(QVector<QPair<QString, QString>> &t, int k)
{
    const QString g = QStringLiteral("av%1/").arg(k, 2, 10, QLatin1Char('0'));
    const QString w = QStringLiteral("alarmAv%1").arg(k, 2, 10, QLatin1Char('0'));
    t << qMakePair(g + "enable", QStringLiteral("gbParamsAv%1").arg(k, 2, 10, QLatin1Char('0')))
      << qMakePair(g + "lengthMin", w + "LengthMinSpinBox")
      << qMakePair(g + "perColMin", w + "PerColMinSpinBox")
      << qMakePair(g + "perRowMin", w + "PerRowMinSpinBox")
      << qMakePair(g + "borderLeft", w + "BorderLeftSpinBox")
      << qMakePair(g + "borderRight", w + "BorderRightSpinBox")
      << qMakePair(g + "rangegatesToIgnore", w + "RangegatesToIgnore")
      << qMakePair(g + "rangegatesSpecial", w + "RangegatesSpecial")
      << qMakePair(g + "RGnoAlarm", w + "RGnoAlarm")
      << qMakePair(g + "sumPerRowMin", w + "SumPerRowMinDoubleSpinBox")
      << qMakePair(g + "sumSumMin", w + "SumSumMinDoubleSpinBox")
      << qMakePair(g + "threshold", w + "ThresholdOnDoubleSpinBox")
      << qMakePair(g + "thresholdOff", w + "ThresholdOffDoubleSpinBox")
      << qMakePair(g + "enablePreAlarmSameRgs", w + "EnablePreAlarmSameRgsCheckBox");
}

// Line edits show range-gate lists as numbers joined by one blank, whatever the file held.
QString rangegateLine(const QVariant &value)
{
    QVector<int> list;
    if (RuParameterTable::parseRangegates(value, &list))
        return RuParameterTable::rangegateText(list).replace(QLatin1Char(','),
                                                               QLatin1Char(' '));
    return value.toString();
}

// "true"/"false" as QSettings writes them, or 1/0; anything else is no answer.
bool parseBool(const QVariant &value, bool *out)
{
    const QString text = value.toString().trimmed().toLower();
    if (text == QLatin1String("true") || text == QLatin1String("1"))
        *out = true;
    else if (text == QLatin1String("false") || text == QLatin1String("0"))
        *out = false;
    else
        return false;
    return true;
}

// A scratch INI store: the engine's key table reads and writes QSettings only.
struct ScratchSettings
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings{
        new QSettings(dir.filePath(QStringLiteral("params.ini")), QSettings::IniFormat)};
};

} // namespace

QVector<QPair<QString, QString>> SkParameterWidgets::table()
{
    QVector<QPair<QString, QString>> t;
    t << qMakePair(QStringLiteral("params/bgLength"), QStringLiteral("alarmBackgroundLengthSpinBox"))
      << qMakePair(QStringLiteral("params/bgDelay"), QStringLiteral("alarmBackgroundDelaySpinBox"))
      << qMakePair(QStringLiteral("params/avgTime"), QStringLiteral("alarmAvgTimeSpinBox"))
      << qMakePair(QStringLiteral("params/avgSpectrum"), QStringLiteral("alarmAvgSpectrumSpinBox"))
      << qMakePair(QStringLiteral("params/toWardSearch"), QStringLiteral("alarmToWardFspinBox"))
      << qMakePair(QStringLiteral("params/liveEnable"), QStringLiteral("gbParamsLive"))
      << qMakePair(QStringLiteral("params/liveChBegin"), QStringLiteral("liveChBeginSpinBox"))
      << qMakePair(QStringLiteral("params/liveChLast"), QStringLiteral("liveChLastSpinBox"))
      << qMakePair(QStringLiteral("params/liveVelocityChBegin"), QStringLiteral("liveVelocityChBeginSpinBox"))
      << qMakePair(QStringLiteral("params/liveVelocityLowLimit"), QStringLiteral("liveVelocityLowLimitSpinBox"))
      << qMakePair(QStringLiteral("params/liveVelocitySource"), QStringLiteral("liveVelocitySourceComboBox"))
      << qMakePair(QStringLiteral("params/liveEnableChannel0"), QStringLiteral("liveChannel0CheckBox"))
      << qMakePair(QStringLiteral("params/liveEnableActivity"), QStringLiteral("liveActivityCheckBox"))
      << qMakePair(QStringLiteral("params/liveEnableMainVelocity"), QStringLiteral("liveMainVelocityCheckBox"))
      << qMakePair(QStringLiteral("params/liveEnableMaxVelocity"), QStringLiteral("liveMaxVelocityCheckBox"))
      << qMakePair(QStringLiteral("params/liveEnableMedianVelocity"), QStringLiteral("liveMedianVelocityCheckBox"));
    for (int k = 0; k < RuParameterSet::Detectors; ++k)
        avalancheRows(t, k);
    t << qMakePair(QStringLiteral("rain0/enable"), QStringLiteral("scrollAreaWidgetContentsRain0"))
      << qMakePair(QStringLiteral("rain0/chBegin"), QStringLiteral("alarmRain0ChBeginSpinBox"))
      << qMakePair(QStringLiteral("rain0/chWidth"), QStringLiteral("alarmRain0ChWidthSpinBox"))
      << qMakePair(QStringLiteral("rain0/bgFrameDelay"), QStringLiteral("alarmRain0BgFrameDelayspinBox"))
      << qMakePair(QStringLiteral("rain0/avgTime"), QStringLiteral("alarmRainAvgTimeSpinBox"))
      << qMakePair(QStringLiteral("rain0/avgSpectrum"), QStringLiteral("alarmRainAvgSpectrumSpinBox"))
      << qMakePair(QStringLiteral("rain0/rangegatesToIgnore"), QStringLiteral("alarmRain0RangegatesToIgnore"))
      << qMakePair(QStringLiteral("rain0/thresholdAlarmOn"), QStringLiteral("alarmRain0ThresholdAlarmOnSpinBox"))
      << qMakePair(QStringLiteral("rain0/thresholdAlarmOff"), QStringLiteral("alarmRain0ThresholdAlarmOffSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/enable"), QStringLiteral("scrollAreaWidgetContentsWaterlevel0"))
      << qMakePair(QStringLiteral("waterlevel0/chBegin"), QStringLiteral("alarmWaterlevel0ChBeginSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/chWidth"), QStringLiteral("alarmWaterlevel0ChWidthSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/rangegate"), QStringLiteral("alarmWaterlevel0RangegateSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/samples"), QStringLiteral("alarmWaterlevel0SamplesSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/thresholdAlarmOn"), QStringLiteral("alarmWaterlevel0ThresholdAlarmOnSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/thresholdAlarmOff"), QStringLiteral("alarmWaterlevel0ThresholdAlarmOffSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/thresholdIncidentOn"), QStringLiteral("alarmWaterlevel0ThresholdIncidentOnSpinBox"))
      << qMakePair(QStringLiteral("waterlevel0/thresholdIncidentOff"), QStringLiteral("alarmWaterlevel0ThresholdIncidentOffSpinBox"));
    return t;
}

// The keys and their order come from the engine's key table; this window adds the widgets.
SkParameterWidgets::SkParameterWidgets(QWidget *root)
{
    QHash<QString, QString> widgetOf;
    const auto rows = table();
    for (const auto &row : rows)
        widgetOf.insert(row.first, row.second);
    const QVector<RuParameterTable::Key> keys = RuParameterTable::keys();
    for (const RuParameterTable::Key &key : keys) {
        const QString name = widgetOf.value(key.key);
        auto *widget = name.isEmpty() ? nullptr : root->findChild<QWidget *>(name);
        if (!widget) {
            qWarning() << "mnw: no parameter widget" << name << "for" << key.key;
            m_complete = false;
            continue;
        }
        m_bindings.append({key.key, widget});
    }
    if (rows.size() != keys.size()) {
        qWarning() << "mnw: the dock binds" << rows.size() << "keys, the key table has"
                   << keys.size();
        m_complete = false;
    }
}

// A value that is no number of the widget's kind keeps the widget as it is.
void SkParameterWidgets::readParameters(const QSettings &settings) const
{
    for (const Binding &b : m_bindings) {
        if (!settings.contains(b.key))
            continue;
        const QVariant v = settings.value(b.key);
        bool ok = true;
        if (auto *w = qobject_cast<QSpinBox *>(b.widget)) {
            const int i = v.toString().trimmed().toInt(&ok);
            if (ok)
                w->setValue(i);
        } else if (auto *w = qobject_cast<QDoubleSpinBox *>(b.widget)) {
            const double d = v.toString().trimmed().toDouble(&ok);
            if (ok && std::isfinite(d))
                w->setValue(d);
        } else if (auto *w = qobject_cast<QGroupBox *>(b.widget)) {
            bool checked = false;
            if (parseBool(v, &checked))
                w->setChecked(checked);
        } else if (auto *w = qobject_cast<QCheckBox *>(b.widget)) {
            bool checked = false;
            if (parseBool(v, &checked))
                w->setChecked(checked);
        } else if (auto *w = qobject_cast<QComboBox *>(b.widget)) {
            const int i = v.toString().trimmed().toInt(&ok);
            if (ok && i >= 0 && i < w->count())
                w->setCurrentIndex(i);
        } else if (auto *w = qobject_cast<QLineEdit *>(b.widget)) {
            w->setText(rangegateLine(v));
        }
    }
}

void SkParameterWidgets::writeParameters(QSettings &settings) const
{
    for (const Binding &b : m_bindings) {
        QVariant v;
        if (auto *w = qobject_cast<QSpinBox *>(b.widget))
            v = w->value();
        else if (auto *w = qobject_cast<QDoubleSpinBox *>(b.widget))
            v = w->value();
        else if (auto *w = qobject_cast<QGroupBox *>(b.widget))
            v = w->isChecked();
        else if (auto *w = qobject_cast<QCheckBox *>(b.widget))
            v = w->isChecked();
        else if (auto *w = qobject_cast<QComboBox *>(b.widget))
            v = w->currentIndex();
        else if (auto *w = qobject_cast<QLineEdit *>(b.widget))
            v = w->text();
        settings.setValue(b.key, v);
    }
}

RuParameterSet SkParameterWidgets::parameterSet() const
{
    ScratchSettings scratch;
    writeParameters(*scratch.settings);
    RuParameterSet set;
    RuParameterTable::read(*scratch.settings, set);
    return set;
}

void SkParameterWidgets::setParameterSet(const RuParameterSet &set) const
{
    ScratchSettings scratch;
    RuParameterTable::write(*scratch.settings, set);
    readParameters(*scratch.settings);
}
