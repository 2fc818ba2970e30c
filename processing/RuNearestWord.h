#pragma once
// "did you mean ...?": the nearest of the known words to a mistyped one.

#include <QString>
#include <QStringList>

// The known word nearest to `word` by edits (insert, delete, change, swap of neighbours),
// when it is near enough to be the likely intent; else an empty text.
QString ruNearestWord(const QString &word, const QStringList &known);
