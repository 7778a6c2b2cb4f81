// FormatSize and FormatDuration.
#include "display/status_texts.h"

#include "common/number_format.h"
#include "common/rounding.h"
#include "display/number_pattern.h"

namespace {

QString withUnit(double value, const QString &format, const char *defaultFormat, const char *unit)
{
    const QString pattern = format.isEmpty() ? QString::fromLatin1(defaultFormat) : format;
    return formatWithPattern(value, pattern) + QString::fromUtf8(unit);
}

} // namespace

QString FormatSize(double size, const QString &format)
{
    if (size >= 0 && size <= 1023)
        return formatNumber(size) + QStringLiteral(" octets");
    if (size >= 1024 && size <= 1048575)
        return withUnit(size / 1024, format, "###0", " Ko");
    if (size >= 1048576 && size <= 1073741823)
        return withUnit(size / 1048576, format, "###0.0", " Mo");
    if (size > 1073741823)
        return withUnit(size / 1073741824, format, "###0.0", " Go");
    return QString();
}

QString FormatDuration(std::int32_t milliseconds)
{
    const auto seconds = static_cast<std::int64_t>(roundHalfEven(milliseconds / 1000.0));
    const std::int64_t minutes = seconds / 60;
    return QString::number(minutes) + QLatin1Char(':') +
           formatWithPattern(static_cast<double>(seconds % 60), QStringLiteral("00"));
}
