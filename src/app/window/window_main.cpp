#include "app/window/window_main.h"

#include "app/window/frm_rec.h"
#include "app/window/qt_french_texts.h"
#include "app/window/single_instance.h"

#include <QApplication>

int runMainWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonoriel"));
    QApplication::setApplicationName(QStringLiteral("Sonoriel"));
    installQtFrenchTexts(app);
    SingleInstance instance;
    if (!instance.acquire())
        return 0; // another copy runs: end without a window
    FrmREC window;
    window.show();
    return app.exec();
}
