#include "app/window/window_main.h"

#include "app/window/frm_rec.h"
#include "app/window/qt_french_texts.h"
#include "app/window/single_instance.h"
#include "recording/hook_error_report.h"

#include <QApplication>
#include <QMessageBox>

int runMainWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Sonoriel"));
    QApplication::setApplicationName(QStringLiteral("Sonoriel"));
    installQtFrenchTexts(app);
    SingleInstance instance;
    if (!instance.acquire())
        return 0; // another copy runs: end without a window
    // The capture's message hook reports its faults in a message box, as the windows do.
    setHookErrorPresenter([](const QString &title, const QString &message) { QMessageBox::warning(nullptr, title, message); });
    FrmREC window;
    window.show();
    return app.exec();
}
