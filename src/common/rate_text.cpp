#include "common/rate_text.h"

namespace {

// More digits than this are no rate of sound and would not fit 32 bits.
constexpr qsizetype kMostDigits = 9;

} // namespace

std::int32_t rateFromText(const QString &text)
{
    const QString trimmed = text.trimmed();
    qsizetype digits = 0;
    while (digits < trimmed.size() && trimmed[digits] >= QLatin1Char('0') && trimmed[digits] <= QLatin1Char('9'))
        ++digits;
    if (digits == 0 || digits > kMostDigits)
        return 0;
    return trimmed.left(digits).toInt();
}
