// The main window's composition: the line list and the volume slider lie inside the input
// frame on screen without belonging to it, the groups stack in one column, and the About
// window names the program and closes with its button.
#include "window_test_support.h"

#include "app/window/about_window.h"
#include "app/window/frm_rec.h"

#include "../support/tools.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {

QRect inWindow(QWidget *widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint(0, 0)), widget->size());
}

} // namespace

using FrmRecLayout = WindowTest;

TEST_F(FrmRecLayout, LineListAndSliderLieInsideTheInputFrameAndTheGroupsStackInOneColumn)
{
    ModalAnswerer answerer;
    FrmREC window;
    window.show();
    QApplication::processEvents();
    auto *frmInp = control<QGroupBox>(window, "frmInp");
    for (const char *name : {"cboRecLine", "sldVol"}) { // on the frame, not its children
        QWidget *overlay = control<QWidget>(window, name);
        EXPECT_FALSE(frmInp->isAncestorOf(overlay)) << name;
        EXPECT_TRUE(inWindow(frmInp).contains(inWindow(overlay))) << name;
        EXPECT_GT(overlay->width(), 0) << name;
    }
    EXPECT_FALSE(inWindow(control<QWidget>(window, "cboRecLine")).intersects(inWindow(control<QWidget>(window, "cboDev"))));
    int previousBottom = -1;
    for (const char *name : {"frmInp", "frmOut", "Frame1", "frmEffects", "Frame3", "Frame2"}) {
        const QRect area = inWindow(control<QWidget>(window, name));
        EXPECT_GT(area.top(), previousBottom) << name;
        previousBottom = area.bottom();
    }
}

TEST(AboutWindowTest, NamesTheProgramAndItsVersionAndClosesWithItsButton)
{
    AboutWindow about;
    EXPECT_EQ(control<QLabel>(about, "lblTitle")->text(), QStringLiteral("Sonoriel"));
    EXPECT_TRUE(control<QLabel>(about, "lblVersion")->text().contains(QStringLiteral("0.1.0")));
    EXPECT_FALSE(control<QLabel>(about, "lblDescription")->text().isEmpty());
    QTimer::singleShot(0, control<QPushButton>(about, "cmdClose"), &QPushButton::click);
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}
