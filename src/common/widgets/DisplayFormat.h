#pragma once

#include <QString>

// Numbers the way the grids and number boxes show them, from a display format such as "# ##0",
// "# ### ##0.00", "# ##0.####" or "# ##0.00 руб.":
// - a blank (or ',') in the integer part groups thousands with a blank;
// - '0' before the point gives the least number of integer digits;
// - after the point, each '0' is a decimal always shown, each '#' one shown only when not zero;
// - text before the first or after the last digit placeholder is kept as it stands;
// - the decimal point is always '.', and the value is rounded half away from zero on its
//   15 significant digits, so 2.675 shows as 2.68 whatever its binary form.
// An empty format gives the shortest form that reads back as the same number ("12.5", "3").
QString formatNumber(double value, const QString& format);
