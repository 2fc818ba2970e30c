#pragma once
// Number formatting shared by the detail and log texts.

#include <QString>

// The shortest text that reads back as the same float, in general notation ("2.4", not the
// "2.4000000953674316" of its double, nor the six digits of "1234.57" for 1234.5677).
QString ruFloatText(float value);
