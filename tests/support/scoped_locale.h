// Sets the default locale for as long as it lives (French by default, as the user's desktop
// would have it), then puts back the one before.
#pragma once

#include <QLocale>

class ScopedLocale {
public:
    explicit ScopedLocale(const QLocale &locale = QLocale(QLocale::French, QLocale::France))
    {
        QLocale::setDefault(locale);
    }
    ~ScopedLocale() { QLocale::setDefault(m_previous); }
    ScopedLocale(const ScopedLocale &) = delete;
    ScopedLocale &operator=(const ScopedLocale &) = delete;

private:
    const QLocale m_previous;
};
