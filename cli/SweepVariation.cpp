#include "SweepVariation.h"

#include "RuNearestWord.h"
#include "RuParameterTable.h"

#include <QRegularExpression>

#include <climits>
#include <cmath>

namespace cli {

namespace {

// More values than any sweep runs: a slip such as a step of 0.0001 is refused before the
// values are made.
constexpr qint64 MostValues = 100000;

bool findNumericKey(const QString &name, RuParameterTable::Key *found, QString *error)
{
    QStringList names;
    for (const RuParameterTable::Key &key : RuParameterTable::keys()) {
        names << key.key;
        if (key.key != name)
            continue;
        if (key.type == RuParameterTable::Type::Bool || key.type == RuParameterTable::Type::RangegateList) {
            *error = QStringLiteral("%1 is not a number: --vary takes numeric keys").arg(name);
            return false;
        }
        *found = key;
        return true;
    }
    *error = QStringLiteral("unknown key %1").arg(name);
    const QString guess = ruNearestWord(name, names);
    if (!guess.isEmpty())
        *error += QStringLiteral(" (did you mean %1?)").arg(guess);
    return false;
}

int decimals(const QString &number)
{
    const int point = number.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : number.size() - point - 1;
}

QString limitText(double v)
{
    return QString::number(v, 'g', 16);
}

} // namespace

bool SweepVariation::parse(const QString &text, SweepVariation *variation, QString *error)
{
    static const QRegularExpression form(QStringLiteral(
        "^([^=]+)=([+-]?\\d+(?:\\.\\d+)?):([+-]?\\d+(?:\\.\\d+)?):(\\d+(?:\\.\\d+)?)$"));
    const QRegularExpressionMatch m = form.match(text.trimmed());
    const QString prefix = QStringLiteral("--vary %1: ").arg(text);
    if (!m.hasMatch()) {
        *error = prefix + QStringLiteral("give SECTION/KEY=FROM:TO:STEP with numbers, such as "
                                         "av00/threshold=2.0:3.0:0.2");
        return false;
    }
    RuParameterTable::Key key;
    if (!findNumericKey(m.captured(1).trimmed(), &key, error)) {
        *error = prefix + *error;
        return false;
    }
    const double from = m.captured(2).toDouble();
    const double to = m.captured(3).toDouble();
    const double step = m.captured(4).toDouble();
    const bool whole = key.type != RuParameterTable::Type::Float;
    const int places = std::max(decimals(m.captured(2)), decimals(m.captured(4)));
    if (whole && (places > 0 || decimals(m.captured(3)) > 0)) {
        *error = prefix + QStringLiteral("%1 takes whole numbers").arg(key.key);
        return false;
    }
    if (!(step > 0)) {
        *error = prefix + QStringLiteral("STEP must be more than 0");
        return false;
    }
    if (from > to) {
        *error = prefix + QStringLiteral("FROM must not be more than TO");
        return false;
    }
    const double count = std::floor((to - from) / step + 1e-9) + 1;
    if (count > MostValues) {
        *error = prefix + QStringLiteral("%1 values, more than a sweep can run: give a larger STEP")
                              .arg(limitText(count));
        return false;
    }
    SweepVariation made;
    made.m_key = key.key;
    for (qint64 i = 0; i < qint64(count); ++i) {
        const double value = from + double(i) * step;
        if (value < key.minimum || value > key.maximum) {
            *error = prefix + QStringLiteral("%1 lies outside the values %2 takes (%3..%4)")
                                  .arg(limitText(value), key.key, limitText(key.minimum),
                                       limitText(key.maximum));
            return false;
        }
        made.m_values << QString::number(value, 'f', places);
    }
    *variation = made;
    return true;
}

qint64 SweepVariation::gridSize(const QVector<SweepVariation> &variations)
{
    qint64 size = variations.isEmpty() ? 0 : 1;
    for (const SweepVariation &v : variations)
        size = std::min<qint64>(size * v.values().size(), INT_MAX);
    return size;
}

QVector<QStringList> SweepVariation::grid(const QVector<SweepVariation> &variations)
{
    QVector<QStringList> combinations;
    if (variations.isEmpty())
        return combinations;
    combinations << QStringList();
    for (const SweepVariation &v : variations) {
        QVector<QStringList> longer;
        longer.reserve(combinations.size() * v.values().size());
        for (const QStringList &start : combinations)
            for (const QString &value : v.values())
                longer << (start + QStringList{value});
        combinations = longer;
    }
    return combinations;
}

} // namespace cli
