// The equaliser tab: the band sliders with their frequency labels, the gains they show and
// write, the right click that puts a band back to 0 dB, and the flat response curve.
#include "fx_window_support.h"

#include "effects/window/curve_picture.h"
#include "effects/window/equalizer_curve.h"
#include "effects/window/frm_fx_opts.h"

#include <QApplication>
#include <QLabel>
#include <QTabBar>
#include <QTest>

namespace {

constexpr QRgb kBackground = 0xFF181F2C; // RGB(24, 31, 44)
constexpr QRgb kGrid = 0xFF5E5842;       // RGB(94, 88, 66)
constexpr QRgb kMiddle = 0xFFE1A822;     // RGB(225, 168, 34)

QSlider *band(QWidget &window, int index)
{
    return control<QSlider>(window, QStringLiteral("sldEQ(%1)").arg(index));
}

QLabel *bandLabel(QWidget &window, int index)
{
    return control<QLabel>(window, QStringLiteral("lblEQID(%1)").arg(index));
}

void showEqualizer(frmFXOpts &window)
{
    control<QTabBar>(window, QStringLiteral("strip"))->setCurrentIndex(2);
    window.show();
    QApplication::processEvents();
}

// All bands at 0 dB: one row of amber through the middle, from the first band to the last,
// over nothing but the background and the grid lines.
void expectFlatCurve(const QImage &image, const std::vector<QPointF> &points)
{
    ASSERT_FALSE(points.empty());
    int strays = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (y == image.height() / 2 && x >= points.front().x() && x <= points.back().x())
                EXPECT_EQ(pixel, kMiddle) << "at " << x;
            else if (pixel != kBackground && pixel != kGrid)
                ++strays;
        }
    EXPECT_EQ(strays, 0);
}

} // namespace

TEST(FxOptsEqualizer, BandLabelsNameTheBandFrequencies)
{
    const std::pair<int, QStringList> rates[] = {
        {44100, {"80 Hz", "191 Hz", "455 Hz", "1 kHz", "2 kHz", "6 kHz", "14 kHz"}},
        {8000, {"80 Hz", "144 Hz", "257 Hz", "462 Hz", "829 Hz", "1 kHz", "2 kHz"}}};
    for (const auto &[rate, texts] : rates) {
        clsDSP dsp;
        dsp.setSamplerate(rate);
        dsp.setChannels(2);
        frmFXOpts window(dsp);
        for (int i = 0; i < texts.size(); ++i)
            EXPECT_EQ(bandLabel(window, i)->text(), texts[i]) << rate << " Hz, band " << i;
    }
    EXPECT_EQ(bandFrequencyText(1000), QStringLiteral("1000 Hz"));
    EXPECT_EQ(bandFrequencyText(1999), QStringLiteral("1 kHz"));
}

TEST(FxOptsEqualizer, AHigherKnobIsMoreGain)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    dsp.setEqualizerBandGainDB(0, 8.0f);
    dsp.setEqualizerBandGainDB(1, -4.0f);
    frmFXOpts window(dsp);
    showEqualizer(window);
    EXPECT_EQ(band(window, 0)->value(), -8);
    EXPECT_EQ(band(window, 1)->value(), 4);
    EXPECT_LT(knobCentre(*band(window, 0)).y(), knobCentre(*band(window, 2)).y());
    EXPECT_LT(knobCentre(*band(window, 2)).y(), knobCentre(*band(window, 1)).y());

    QTest::keyClick(band(window, 2), Qt::Key_Up);
    EXPECT_FLOAT_EQ(dsp.EqualizerBandGainDB(2), 1.0f);
    EXPECT_LT(window.eqPoints()[2].y(), window.curvePicture().image().height() / 2.0);
}

TEST(FxOptsEqualizer, RightClickOnABandAtPlusEightPutsItBackToZeroAndFlattensTheCurve)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    dsp.setEqualizerBandGainDB(3, 8.0f);
    frmFXOpts window(dsp);
    showEqualizer(window);
    const QImage &image = window.curvePicture().image();
    const QPointF raised = window.eqPoints()[3];
    EXPECT_DOUBLE_EQ(raised.y(), image.height() / 6.0); // 8 dB of 12 above the middle
    EXPECT_NE(image.pixel(raised.toPoint()), kBackground);

    QSlider *slider = band(window, 3);
    QTest::mouseClick(slider, Qt::RightButton, {}, knobCentre(*slider));
    EXPECT_EQ(slider->value(), 0);
    EXPECT_EQ(dsp.EqualizerBandGainDB(3), 0.0f);
    expectFlatCurve(image, window.eqPoints());
}

