#include "app/window/settings_text.h"

#include "common/rounding.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

int leadingWholeNumber(const QString &text)
{
    static const QRegularExpression leadingNumber(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = leadingNumber.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const double value = match.captured(0).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return 0;
    const double rounded = roundHalfEven(value);
    // Out of range for any control: the value is unusable, as a text that is not a number.
    if (rounded > std::numeric_limits<int>::max() || rounded < std::numeric_limits<int>::min())
        return 0;
    return static_cast<int>(rounded);
}

QString volumePercentText(int value, int maximum)
{
    if (maximum <= 0)
        return QStringLiteral("0%");
    return QStringLiteral("%1%").arg(static_cast<qint64>(value) * 100 / maximum);
}

QString recordingFileName(const QString &chosen)
{
    if (chosen.right(4).toLower() == QLatin1String(".wav"))
        return chosen;
    return chosen + QStringLiteral(".wav");
}
