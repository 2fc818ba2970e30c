#pragma once
// The one mapping between the engine's settings and the keys of the program store and of
// parameter files ("params/bgLength", "av00/threshold", ...), read and written through
// QSettings in INI format. The viewer and rrdcli both go through it.
//
// Reading leaves a setting unchanged when its key is absent or its value is bad (not a
// number of the key's type, or outside the range the parameter docks accept), so a sparse
// file applied to a fresh set keeps the engine's built-in defaults; it says why for each bad
// value.

#include "RuParameterSet.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class QSettings;

class RuParameterTable
{
public:
    enum class Type {
        Int,
        Float,
        Bool,
        RangegateList,  // range-gate numbers separated by commas and/or blanks
        ChannelsCutOff  // "params/liveChLast": channels cut off at the right, end = 1024 - value
    };

    struct Key
    {
        QString key;     // "section/name"
        Type type;
        double minimum;  // the range the docks accept (lists: per range gate)
        double maximum;
    };

    // Every key, in the order files are written and read.
    static QVector<Key> keys();

    // Returns one line per value that cannot be used: "av00/threshold=2,4 is ignored (a decimal
    // comma: write 2.4); 2.4 is used instead".
    static QStringList read(const QSettings &settings, RuParameterSet &set);
    // Brings every number of `set` into the range the docks accept (range-gate lists are
    // left alone): values that came from elsewhere than a dock or file, such as the radar's
    // process parameters, then size nothing beyond what a user could set.
    static void clamp(RuParameterSet &set);
    static void write(QSettings &settings, const RuParameterSet &set);

    // A range-gate list as a line edit or file holds it: "1,2,3", "1 2 3", "1, 2" or the
    // string list QSettings makes of an unquoted "1,2,3". False (and `out` untouched) when a
    // part is not a range-gate number.
    static bool parseRangegates(const QVariant &value, QVector<int> *out);
    static QString rangegateText(const QVector<int> &rangegates);
    // A key or value as a message shows it: "" when empty, its first 40 characters and its
    // length when longer (a file may hold a value of any length).
    static QString shown(const QString &text);
};
