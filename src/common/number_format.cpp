#include "common/number_format.h"

#include <QLocale>

namespace {

QLocale userLocale()
{
    QLocale locale; // the default locale: the user's, unless the program set another
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

} // namespace

QString formatNumber(double value)
{
    return userLocale().toString(value, 'g', 15);
}

QString formatFixed(double value, int decimals)
{
    return userLocale().toString(value, 'f', decimals);
}
