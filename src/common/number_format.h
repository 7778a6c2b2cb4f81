// Numbers as the user reads them: the decimal separator of the user's locale (a comma under
// French settings), no thousands grouping.
#pragma once

#include <QString>

// The shortest text of value (at most 15 significant digits): 44.1 -> "44,1", 11 -> "11".
QString formatNumber(double value);

// Exactly `decimals` digits after the separator: formatFixed(2.5, 1) -> "2,5".
QString formatFixed(double value, int decimals);
