// The size and duration texts of the main window's status bar, with the decimal separator of
// the user's locale (a comma under French settings).
#pragma once

#include <QString>

#include <cstdint>

// "512 octets", "2 Ko", "1,5 Mo", "1,0 Go": bytes below 1024 in general format, then kilo-,
// mega- and gigabytes (of 1024, 1048576 and 1073741824 bytes) after the digit pattern
// `format` ("###0" for kilobytes and "###0.0" above when it is empty). Empty for a negative
// size or one between two ranges (1023.5 bytes).
QString FormatSize(double size, const QString &format = QString());

// Minutes and seconds of a duration in milliseconds, the seconds rounded (halves to even):
// 65000 gives "1:05", 3600000 gives "60:00".
QString FormatDuration(std::int32_t milliseconds);
