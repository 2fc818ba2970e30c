#include "RuParameterTable.h"

#include "RuNumberText.h"

#include <QRegularExpression>
#include <QSettings>
#include <QStringList>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>
#include <variant>

namespace {

using Type = RuParameterTable::Type;
using Field = std::variant<int *, float *, bool *, QVector<int> *>;

constexpr double noLimit = std::numeric_limits<double>::infinity();

struct Binding
{
    RuParameterTable::Key key;
    Field field;
};

void bindGeneral(QVector<Binding> &b, RuParameterSet &s)
{
    RuAlarmParams &p = s.general;
    b.append({{QStringLiteral("params/bgLength"), Type::Int, 1, 999}, &p.bgLength});
    b.append({{QStringLiteral("params/bgDelay"), Type::Int, 0, 999}, &p.bgDelay});
    b.append({{QStringLiteral("params/avgTime"), Type::Int, 1, 10}, &p.avgTime});
    b.append({{QStringLiteral("params/avgSpectrum"), Type::Int, 0, 10}, &p.avgSpectrum});
    b.append({{QStringLiteral("params/toWardSearch"), Type::Int, 1, 999}, &p.toWardSearch});
    b.append({{QStringLiteral("params/liveEnable"), Type::Bool, 0, 1}, &s.liveEnable});
    b.append({{QStringLiteral("params/liveChBegin"), Type::Int, 0, 1023}, &p.liveChBegin});
    b.append({{QStringLiteral("params/liveChLast"), Type::ChannelsCutOff, 0, 1023},
              &p.liveChEnd});
    b.append({{QStringLiteral("params/liveVelocityChBegin"), Type::Int, 0, 1023},
              &p.liveVelocityChBegin});
    b.append({{QStringLiteral("params/liveVelocityLowLimit"), Type::Float, -noLimit, noLimit},
              &p.liveVelocityLowLimit});
    b.append({{QStringLiteral("params/liveVelocitySource"), Type::Int, 0, 1},
              &p.liveVelocitySource});
    RuLiveEnables &l = s.liveBoxes;
    b.append({{QStringLiteral("params/liveEnableChannel0"), Type::Bool, 0, 1}, &l.channel0});
    b.append({{QStringLiteral("params/liveEnableActivity"), Type::Bool, 0, 1}, &l.activity});
    b.append({{QStringLiteral("params/liveEnableMainVelocity"), Type::Bool, 0, 1},
              &l.mainVelocity});
    b.append({{QStringLiteral("params/liveEnableMaxVelocity"), Type::Bool, 0, 1},
              &l.maxVelocity});
    b.append({{QStringLiteral("params/liveEnableMedianVelocity"), Type::Bool, 0, 1},
              &l.medianVelocity});
}

void bindAvalanche(QVector<Binding> &b, int k, bool &enable, RuAvalancheParams &p)
{
    const QString g = QStringLiteral("av%1/").arg(k, 2, 10, QLatin1Char('0'));
    b.append({{g + QStringLiteral("enable"), Type::Bool, 0, 1}, &enable});
    b.append({{g + QStringLiteral("lengthMin"), Type::Int, 1, INT_MAX}, &p.lengthMin});
    b.append({{g + QStringLiteral("perColMin"), Type::Int, 1, INT_MAX}, &p.perColMin});
    b.append({{g + QStringLiteral("perRowMin"), Type::Int, 1, INT_MAX}, &p.perRowMin});
    b.append({{g + QStringLiteral("borderLeft"), Type::Int, 0, 512}, &p.borderLeft});
    b.append({{g + QStringLiteral("borderRight"), Type::Int, 0, 512}, &p.borderRight});
    b.append({{g + QStringLiteral("rangegatesToIgnore"), Type::RangegateList, 0, INT_MAX},
              &p.rangegatesToIgnore});
    b.append({{g + QStringLiteral("rangegatesSpecial"), Type::RangegateList, 0, INT_MAX},
              &p.rangegatesSpecial});
    b.append({{g + QStringLiteral("RGnoAlarm"), Type::RangegateList, 0, INT_MAX},
              &p.rangegatesNoAlarm});
    b.append({{g + QStringLiteral("sumPerRowMin"), Type::Float, 0, 9999}, &p.sumPerRowMin});
    b.append({{g + QStringLiteral("sumSumMin"), Type::Float, -9999, 9999}, &p.sumSumMin});
    b.append({{g + QStringLiteral("threshold"), Type::Float, -noLimit, 100}, &p.thresholdOn});
    b.append({{g + QStringLiteral("thresholdOff"), Type::Float, -noLimit, noLimit},
              &p.thresholdOff});
    b.append({{g + QStringLiteral("enablePreAlarmSameRgs"), Type::Bool, 0, 1},
              &p.enablePreAlarmSameRgs});
}

void bindRain(QVector<Binding> &b, RuParameterSet &s)
{
    RuRainParams &p = s.rain;
    b.append({{QStringLiteral("rain0/enable"), Type::Bool, 0, 1}, &s.rainEnable});
    b.append({{QStringLiteral("rain0/chBegin"), Type::Int, 0, 1023}, &p.chBegin});
    b.append({{QStringLiteral("rain0/chWidth"), Type::Int, 1, 1024}, &p.chWidth});
    b.append({{QStringLiteral("rain0/bgFrameDelay"), Type::Int, 1, 9999}, &p.bgFrameDelay});
    b.append({{QStringLiteral("rain0/avgTime"), Type::Int, 1, 10}, &p.avgTime});
    b.append({{QStringLiteral("rain0/avgSpectrum"), Type::Int, 0, 10}, &p.avgSpectrum});
    b.append({{QStringLiteral("rain0/rangegatesToIgnore"), Type::RangegateList, 0, INT_MAX},
              &p.rangegatesToIgnore});
    b.append({{QStringLiteral("rain0/thresholdAlarmOn"), Type::Float, 0, 999999},
              &p.thresholdAlarmOn});
    b.append({{QStringLiteral("rain0/thresholdAlarmOff"), Type::Float, 0, 999999},
              &p.thresholdAlarmOff});
}

void bindWaterlevel(QVector<Binding> &b, RuParameterSet &s)
{
    RuWaterlevelParams &p = s.waterlevel;
    b.append({{QStringLiteral("waterlevel0/enable"), Type::Bool, 0, 1}, &s.waterlevelEnable});
    b.append({{QStringLiteral("waterlevel0/chBegin"), Type::Int, 0, 1024}, &p.chBegin});
    b.append({{QStringLiteral("waterlevel0/chWidth"), Type::Int, 1, 1024}, &p.chWidth});
    b.append({{QStringLiteral("waterlevel0/rangegate"), Type::Int, 0, 9999}, &p.rangegate});
    b.append({{QStringLiteral("waterlevel0/samples"), Type::Int, 1, 9999}, &p.samples});
    b.append({{QStringLiteral("waterlevel0/thresholdAlarmOn"), Type::Float, 0, 999000},
              &p.thresholdAlarmOn});
    b.append({{QStringLiteral("waterlevel0/thresholdAlarmOff"), Type::Float, 0, 999000},
              &p.thresholdAlarmOff});
    b.append({{QStringLiteral("waterlevel0/thresholdIncidentOn"), Type::Float, 0, 999000},
              &p.thresholdIncidentOn});
    b.append({{QStringLiteral("waterlevel0/thresholdIncidentOff"), Type::Float, 0, 999000},
              &p.thresholdIncidentOff});
}

QVector<Binding> bind(RuParameterSet &s)
{
    QVector<Binding> b;
    b.reserve(16 + 3 * 14 + 9 + 9);
    bindGeneral(b, s);
    for (int k = 0; k < RuParameterSet::Detectors; ++k)
        bindAvalanche(b, k, s.avalancheEnable[k], s.avalanche[k]);
    bindRain(b, s);
    bindWaterlevel(b, s);
    return b;
}

// The value as the file spells it; QSettings turns an unquoted "a,b" into a list.
QString rawText(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

// The text of a single value: a list, such as the "2,4" of a decimal comma, is no single value.
bool scalarText(const QVariant &value, QString *text)
{
    if (value.userType() == QMetaType::QStringList) {
        const QStringList parts = value.toStringList();
        if (parts.size() != 1)
            return false;
        *text = parts.first().trimmed();
        return true;
    }
    *text = value.toString().trimmed();
    return true;
}

QString limitText(double v) { return QString::number(v, 'g', 16); }

// Empty when `v` lies in the key's range, else the range it misses.
QString rangeProblem(double v, const RuParameterTable::Key &key)
{
    const bool hasMinimum = std::isfinite(key.minimum) && key.minimum > INT_MIN;
    const bool hasMaximum = std::isfinite(key.maximum) && key.maximum < INT_MAX;
    if (v >= key.minimum && v <= key.maximum)
        return QString();
    if (hasMinimum && hasMaximum)
        return QStringLiteral("outside %1..%2").arg(limitText(key.minimum), limitText(key.maximum));
    if (v < key.minimum)
        return QStringLiteral("less than %1").arg(limitText(key.minimum));
    return QStringLiteral("more than %1").arg(limitText(key.maximum));
}

// Reads a number of the key's type and range into `out`; else says why it cannot be used.
QString numberProblem(const QVariant &value, const RuParameterTable::Key &key, bool whole,
                      double *out)
{
    const QString what = whole ? QStringLiteral("not a whole number") : QStringLiteral("not a number");
    static const QRegularExpression decimalComma(QStringLiteral("^\\s*([+-]?\\d+),(\\d+)\\s*$"));
    const QRegularExpressionMatch comma = decimalComma.match(rawText(value));
    if (!whole && comma.hasMatch())
        return QStringLiteral("a decimal comma: write %1.%2").arg(comma.captured(1), comma.captured(2));
    QString text;
    bool ok = false;
    const double v = scalarText(value, &text) ? text.toDouble(&ok) : 0.0;
    if (!ok)
        return what;
    if (!std::isfinite(v))
        return QStringLiteral("not a finite number");
    if (whole && (v != std::floor(v) || v < INT_MIN || v > INT_MAX))
        return what;
    if (!whole && std::fabs(v) > FLT_MAX)
        return QStringLiteral("too large for a float");
    const QString range = rangeProblem(v, key);
    if (range.isEmpty())
        *out = v;
    return range;
}

QString readInt(const QVariant &value, const RuParameterTable::Key &key, int *field)
{
    double v = 0;
    const QString problem = numberProblem(value, key, true, &v);
    if (problem.isEmpty())
        *field = static_cast<int>(v);
    return problem;
}

QString readFloat(const QVariant &value, const RuParameterTable::Key &key, float *field)
{
    double v = 0;
    const QString problem = numberProblem(value, key, false, &v);
    if (problem.isEmpty())
        *field = static_cast<float>(v);
    return problem;
}

QString readBool(const QVariant &value, bool *field)
{
    QString text;
    if (scalarText(value, &text)) {
        text = text.toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1")) {
            *field = true;
            return QString();
        }
        if (text == QLatin1String("false") || text == QLatin1String("0")) {
            *field = false;
            return QString();
        }
    }
    return QStringLiteral("neither true nor false");
}

// Sets the field from `value`; else leaves it and says why the value cannot be used.
QString readOne(const QVariant &value, const Binding &b)
{
    switch (b.key.type) {
    case Type::Int:
        return readInt(value, b.key, std::get<int *>(b.field));
    case Type::ChannelsCutOff: {
        int cut = 0;
        const QString problem = readInt(value, b.key, &cut);
        if (problem.isEmpty())
            *std::get<int *>(b.field) = 1024 - cut;
        return problem;
    }
    case Type::Float:
        return readFloat(value, b.key, std::get<float *>(b.field));
    case Type::Bool:
        return readBool(value, std::get<bool *>(b.field));
    case Type::RangegateList:
        if (RuParameterTable::parseRangegates(value, std::get<QVector<int> *>(b.field)))
            return QString();
        return QStringLiteral("not a list of range-gate numbers");
    }
    return QString();
}

QVariant valueOf(const Binding &b)
{
    switch (b.key.type) {
    case Type::Int:
        return *std::get<int *>(b.field);
    case Type::ChannelsCutOff:
        return 1024 - *std::get<int *>(b.field);
    case Type::Float:
        // Through the float's shortest text, so that 2.4 is written as 2.4.
        return ruFloatText(*std::get<float *>(b.field)).toDouble();
    case Type::Bool:
        return *std::get<bool *>(b.field);
    case Type::RangegateList:
        return RuParameterTable::rangegateText(*std::get<QVector<int> *>(b.field));
    }
    return QVariant();
}

} // namespace

QVector<RuParameterTable::Key> RuParameterTable::keys()
{
    RuParameterSet scratch;
    QVector<Key> keys;
    for (const Binding &b : bind(scratch))
        keys << b.key;
    return keys;
}

void RuParameterTable::clamp(RuParameterSet &set)
{
    for (const Binding &b : bind(set)) {
        switch (b.key.type) {
        case Type::Int: {
            int &v = *std::get<int *>(b.field);
            v = static_cast<int>(qBound(b.key.minimum, double(v), b.key.maximum));
            break;
        }
        case Type::ChannelsCutOff: {
            int &end = *std::get<int *>(b.field);
            const double cut = qBound(b.key.minimum, 1024.0 - end, b.key.maximum);
            end = 1024 - static_cast<int>(cut);
            break;
        }
        case Type::Float: {
            float &v = *std::get<float *>(b.field);
            if (!std::isnan(v))
                v = static_cast<float>(qBound(b.key.minimum, double(v), b.key.maximum));
            break;
        }
        default:
            break;
        }
    }
}

QStringList RuParameterTable::read(const QSettings &settings, RuParameterSet &set)
{
    QStringList problems;
    for (const Binding &b : bind(set)) {
        if (!settings.contains(b.key.key))
            continue;
        const QVariant value = settings.value(b.key.key);
        const QString problem = readOne(value, b);
        if (problem.isEmpty())
            continue;
        const QString used = valueOf(b).toString();
        problems << QStringLiteral("%1=%2 is ignored (%3); %4 is used instead")
                        .arg(b.key.key, shown(rawText(value)), problem, shown(used));
    }
    return problems;
}

void RuParameterTable::write(QSettings &settings, const RuParameterSet &set)
{
    RuParameterSet copy = set;
    for (const Binding &b : bind(copy))
        settings.setValue(b.key.key, valueOf(b));
}

bool RuParameterTable::parseRangegates(const QVariant &value, QVector<int> *out)
{
    const QString text = value.userType() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(','))
                             : value.toString();
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    QVector<int> rangegates;
    for (const QString &part : text.split(separators, Qt::SkipEmptyParts)) {
        bool ok = false;
        const int rg = part.toInt(&ok);
        if (!ok || rg < 0)
            return false;
        rangegates << rg;
    }
    *out = rangegates;
    return true;
}

QString RuParameterTable::shown(const QString &text)
{
    constexpr int Longest = 40;
    if (text.isEmpty())
        return QStringLiteral("\"\"");
    if (text.size() <= Longest)
        return text;
    return QStringLiteral("%1... (%2 characters)").arg(text.left(Longest)).arg(text.size());
}

QString RuParameterTable::rangegateText(const QVector<int> &rangegates)
{
    QStringList parts;
    for (int rg : rangegates)
        parts << QString::number(rg);
    return parts.join(QLatin1Char(','));
}
