#pragma once
// "did you mean ...?": the nearest of the known words to a mistyped one.

#include <QString>
#include <QStringList>

namespace cli {

// The known word nearest to `word` by edits (insert, delete, change, swap of neighbours),
// when it is near enough to be the likely intent; else an empty text.
QString nearest(const QString &word, const QStringList &known);

} // namespace cli
