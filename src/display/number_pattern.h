// Numbers written after a digit pattern such as "###0", "###0.0" or "00": '0' is a digit that
// is always written, '#' one written only when needed, '.' the place of the user's decimal
// separator and ',' asks for thousands grouping. Other characters before and after the digits
// are copied as they stand. Rounding is to the last decimal place, halves away from zero.
#pragma once

#include <QString>

QString formatWithPattern(double value, const QString &pattern);
