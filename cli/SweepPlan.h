#pragma once
// The parameter sets of one rrdcli sweep, numbered from 1: made from a base parameter file
// and either the grid of `--vary` values or one `--params-set` file each (read over the
// base, so a file may hold only the keys it changes). Each set is written out as a whole
// parameter file, the file `rrdcli analyze --params` reads to give the same alarm log.

#include "RuParameterSet.h"
#include "SweepVariation.h"

#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

namespace cli {

struct SweepSet
{
    int number = 0;              // from 1
    QString origin;              // the --params-set file, empty for a grid point
    RuParameterSet parameters;   // the base, or the base with the file's values
    QVector<QPair<QString, QString>> overrides; // key and value text of a grid point
    QStringList shownValues;     // the values of SweepPlan::columns(), as written
};

class SweepPlan
{
public:
    // Every point of the grid over `base`.
    static SweepPlan fromGrid(const RuParameterSet &base, const QVector<SweepVariation> &variations);
    // One set per file, each read over `base`; false with the reason in `error` when a file
    // cannot be read as a parameter file. Values a file holds that cannot be used are
    // named in `warnings`, as analyze names them.
    static bool fromFiles(const RuParameterSet &base, const QStringList &files, SweepPlan *plan,
                          QStringList *warnings, QString *error);

    QVector<SweepSet> &sets() { return m_sets; }
    const QVector<SweepSet> &sets() const { return m_sets; }
    // The keys whose values differ between the sets: the varied keys of a grid, the keys
    // in which the files differ otherwise (known once the sets are written).
    const QStringList &columns() const { return m_columns; }
    bool fromFiles() const { return m_fromFiles; }

    // Writes every set as DIR/<number>.ini and fills the shown values; false with the
    // reason in `error` when a file cannot be written.
    bool write(const QString &dir, QString *error);
    static QString iniPath(const QString &dir, int number);

private:
    void findDifferingKeys(const QString &dir);

    QVector<SweepSet> m_sets;
    QStringList m_columns;
    bool m_fromFiles = false;
};

} // namespace cli
