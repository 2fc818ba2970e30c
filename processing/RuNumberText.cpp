#include "RuNumberText.h"

#include <QLocale>

QString ruFloatText(float value)
{
    // Nine significant digits always round-trip a float; the first precision that does picks
    // the digits, and the shortest form of that decimal lets Qt choose the notation.
    for (int precision = 1; precision <= 9; ++precision) {
        const QString digits = QString::number(static_cast<double>(value), 'g', precision);
        bool ok = false;
        if (digits.toFloat(&ok) == value && ok)
            return QString::number(digits.toDouble(), 'g', QLocale::FloatingPointShortest);
    }
    return QString::number(static_cast<double>(value), 'g', QLocale::FloatingPointShortest);
}
