// The digit-pattern formatter behind the size and duration texts.
#include "display/number_pattern.h"

#include "common/rounding.h"

#include <QLocale>

#include <cmath>

namespace {

bool isPatternChar(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char('.') ||
           c == QLatin1Char(',');
}

struct DigitPattern {
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool hasPoint = false;
    bool grouping = false;
};

DigitPattern parseDigits(QStringView digits)
{
    DigitPattern p;
    for (QChar c : digits) {
        if (c == QLatin1Char('.')) {
            p.hasPoint = true;
        } else if (c == QLatin1Char(',')) {
            if (!p.hasPoint)
                p.grouping = true;
        } else if (!p.hasPoint) {
            if (c == QLatin1Char('0'))
                ++p.minIntegerDigits;
        } else {
            ++p.maxDecimals;
            if (c == QLatin1Char('0'))
                p.minDecimals = p.maxDecimals;
        }
    }
    return p;
}

} // namespace

QString formatWithPattern(double value, const QString &pattern)
{
    qsizetype begin = 0;
    while (begin < pattern.size() && !isPatternChar(pattern[begin]))
        ++begin;
    qsizetype end = begin;
    while (end < pattern.size() && isPatternChar(pattern[end]))
        ++end;
    const DigitPattern p = parseDigits(QStringView(pattern).mid(begin, end - begin));

    const double scale = std::pow(10.0, p.maxDecimals);
    const double rounded = roundHalfAway(std::fabs(value) * scale) / scale;

    QLocale locale;
    if (!p.grouping)
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const QString decimalPoint = locale.decimalPoint();

    // Whole part, padded to its minimum digits; "#" alone writes nothing for zero.
    const double whole = std::floor(rounded);
    QString text = whole == 0 ? QString() : locale.toString(whole, 'f', 0);
    while (text.size() < p.minIntegerDigits)
        text.prepend(locale.zeroDigit());

    if (p.hasPoint) {
        QString fraction;
        if (p.maxDecimals > 0) {
            const QString all = QLocale::c().toString(rounded - whole, 'f', p.maxDecimals);
            fraction = all.mid(all.indexOf(QLatin1Char('.')) + 1);
            while (fraction.size() > p.minDecimals && fraction.endsWith(QLatin1Char('0')))
                fraction.chop(1);
        }
        text += decimalPoint + fraction;
    }

    const QString sign = value < 0 && rounded != 0 ? QStringLiteral("-") : QString();
    return pattern.left(begin) + sign + text + pattern.mid(end);
}
