// The equaliser tab: a higher knob is more gain and a higher curve; a right click puts a band to 0 dB.
#include "fx_window_support.h"

#include "effects/window/curve_picture.h"
#include "effects/window/frm_fx_opts.h"

#include <QApplication>
#include <QTabBar>
#include <QTest>

namespace {

QSlider *band(QWidget &window, int index) { return control<QSlider>(window, QStringLiteral("sldEQ(%1)").arg(index)); }

void showEqualizer(frmFXOpts &window)
{
    control<QTabBar>(window, QStringLiteral("strip"))->setCurrentIndex(2);
    window.show();
    QApplication::processEvents();
}

} // namespace

TEST(FxOptsEqualizer, AHigherKnobIsMoreGain)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    dsp.setEqualizerBandGainDB(0, 8.0f);
    dsp.setEqualizerBandGainDB(1, -4.0f);
    frmFXOpts window(dsp);
    showEqualizer(window);
    EXPECT_EQ(band(window, 0)->value(), -8); // the slider's top is its minimum
    const double middle = window.curvePicture().image().height() / 2.0;
    EXPECT_DOUBLE_EQ(window.eqPoints()[2].y(), middle);
    QTest::keyClick(band(window, 2), Qt::Key_Up);
    EXPECT_FLOAT_EQ(dsp.EqualizerBandGainDB(2), 1.0f);
    EXPECT_LT(window.eqPoints()[2].y(), middle);
}

TEST(FxOptsEqualizer, RightClickOnABandPutsItBackToZero)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    dsp.setEqualizerBandGainDB(3, 8.0f);
    frmFXOpts window(dsp);
    showEqualizer(window);
    QSlider *slider = band(window, 3);
    QTest::mouseClick(slider, Qt::RightButton);
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(dsp.EqualizerBandGainDB(3), 0.0f);
    EXPECT_DOUBLE_EQ(window.eqPoints()[3].y(), window.curvePicture().image().height() / 2.0);
}
