#pragma once
// One `--vary SECTION/KEY=FROM:TO:STEP` of rrdcli sweep: a numeric key of the parameter file
// and the values it takes, FROM, FROM + STEP, ... up to TO, written with as many decimals as
// FROM and STEP carry (so 2.0:3.0:0.2 gives 2.0, 2.2, ... 3.0, never 2.4000000000000004).

#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

class SweepVariation
{
public:
    // False with the reason in `error` when `text` names no numeric key of the parameter
    // file, is not FROM:TO:STEP with FROM <= TO and STEP > 0 (whole numbers for whole-number
    // keys), or reaches outside the values the key takes.
    static bool parse(const QString &text, SweepVariation *variation, QString *error);

    const QString &key() const { return m_key; }
    const QStringList &values() const { return m_values; }

    // Every combination of the variations' values: the first varies slowest, the last
    // fastest, as nested loops in the order given. Each entry holds one value per variation.
    static QVector<QStringList> grid(const QVector<SweepVariation> &variations);
    // The number of combinations, without making them (saturating at INT_MAX).
    static qint64 gridSize(const QVector<SweepVariation> &variations);

private:
    QString m_key;
    QStringList m_values;
};

} // namespace cli
