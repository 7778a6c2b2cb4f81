#include "app/window/qt_french_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

bool installQtFrenchTexts(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"),
                          QStringLiteral("_"), folder) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        std::fprintf(stderr, "%s\n",
                     qPrintable(QStringLiteral("Traductions françaises de Qt introuvables dans %1 "
                                               "(paquet qt6-translations-l10n) : les dialogues de Qt "
                                               "restent en anglais.")
                                    .arg(folder)));
        return false;
    }
    return true;
}
