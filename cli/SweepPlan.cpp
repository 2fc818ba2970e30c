#include "SweepPlan.h"

#include "RuParameterFile.h"
#include "RuParameterTable.h"

#include <QDir>
#include <QSettings>

namespace cli {

namespace {

// A value as the file spells it (QSettings reads an unquoted "1,2" as a list).
QString fileText(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

} // namespace

SweepPlan SweepPlan::fromGrid(const RuParameterSet &base, const QVector<SweepVariation> &variations)
{
    SweepPlan plan;
    for (const SweepVariation &v : variations)
        plan.m_columns << v.key();
    for (const QStringList &values : SweepVariation::grid(variations)) {
        SweepSet set;
        set.number = plan.m_sets.size() + 1;
        set.parameters = base;
        for (int i = 0; i < values.size(); ++i)
            set.overrides.append({plan.m_columns[i], values[i]});
        set.shownValues = values;
        plan.m_sets << set;
    }
    return plan;
}

bool SweepPlan::fromFiles(const RuParameterSet &base, const QStringList &files, SweepPlan *plan,
                          QStringList *warnings, QString *error)
{
    SweepPlan made;
    made.m_fromFiles = true;
    for (const QString &path : files) {
        const RuParameterFile file = RuParameterFile::read(path, base);
        *warnings << file.warnings();
        if (!file.isRead()) {
            *error = file.error();
            return false;
        }
        SweepSet set;
        set.number = made.m_sets.size() + 1;
        set.origin = path;
        set.parameters = file.parameters();
        made.m_sets << set;
    }
    *plan = made;
    return true;
}

QString SweepPlan::iniPath(const QString &dir, int number)
{
    return QDir(dir).filePath(QStringLiteral("%1.ini").arg(number));
}

bool SweepPlan::write(const QString &dir, QString *error)
{
    for (const SweepSet &set : qAsConst(m_sets)) {
        const QString path = iniPath(dir, set.number);
        QSettings settings(path, QSettings::IniFormat);
        RuParameterTable::write(settings, set.parameters);
        for (const auto &o : set.overrides)
            settings.setValue(o.first, o.second);
        settings.sync();
        if (settings.status() != QSettings::NoError) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    if (m_fromFiles)
        findDifferingKeys(dir);
    return true;
}

void SweepPlan::findDifferingKeys(const QString &dir)
{
    QVector<QStringList> texts(m_sets.size());
    for (int i = 0; i < m_sets.size(); ++i) {
        const QSettings settings(iniPath(dir, m_sets[i].number), QSettings::IniFormat);
        for (const RuParameterTable::Key &key : RuParameterTable::keys())
            texts[i] << fileText(settings.value(key.key));
    }
    const QVector<RuParameterTable::Key> keys = RuParameterTable::keys();
    QVector<int> differing;
    for (int k = 0; k < keys.size(); ++k) {
        for (int i = 1; i < texts.size(); ++i) {
            if (texts[i][k] != texts[0][k]) {
                differing << k;
                break;
            }
        }
    }
    m_columns.clear();
    for (int k : qAsConst(differing))
        m_columns << keys[k].key;
    for (int i = 0; i < m_sets.size(); ++i) {
        m_sets[i].shownValues.clear();
        for (int k : qAsConst(differing))
            m_sets[i].shownValues << texts[i][k];
    }
}

} // namespace cli
