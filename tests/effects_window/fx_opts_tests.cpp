// The effects window over a live chain: opening changes nothing, sliders write, tabs switch, faults shown.
#include "fx_window_support.h"

#include "effects/window/frm_fx_opts.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>

namespace {

std::vector<float> settingsOf(const clsDSP &d)
{
    std::vector<float> s{float(d.EchoLength()), d.EchoAmp(), float(d.AmplifyDB()), d.PhaseShiftDry(),
                         d.PhaseShiftWet(), d.PhaseShiftFeedback(), d.PhaseShiftSweepRate(),
                         d.PhaseShiftSweepRange(), d.PhaseShiftFrequency()};
    for (std::int32_t i = 0; i < d.EqualizerBands(); ++i)
        s.push_back(d.EqualizerBandGainDB(i));
    return s;
}

} // namespace

TEST(FxOptsOpening, ShowsTheChainsSettingsWithoutTouchingThemOrTheRunningEcho)
{
    // An echo of 100 ms at 44100 Hz mono: a 10000 at the start of a block of the delay line's
    // length leaves 4000 for the start of the next block.
    clsDSP dsp;
    prepareForRecording(dsp);
    dsp.setEffectsUsed(clsDSP::kEcho);
    std::vector<std::int16_t> block(4410, 0), next(4410, 0);
    block[0] = 10000;
    dsp.ProcessSamples(block);
    const std::vector<float> before = settingsOf(dsp);
    frmFXOpts window(dsp);
    window.show();
    QApplication::processEvents();

    EXPECT_EQ(settingsOf(dsp), before);
    dsp.ProcessSamples(next);
    EXPECT_EQ(next[0], 4000);
    EXPECT_EQ(control<QSlider>(window, QStringLiteral("sldReverbAmp"))->value(), 4); // the echo's 0.4
    EXPECT_EQ(control<QLabel>(window, QStringLiteral("lblAmplDB"))->text(), QStringLiteral("3 dB"));
}

TEST(FxOptsSliders, EachSliderWritesItsPropertyByItsScale)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    frmFXOpts window(dsp);
    const auto move = [&window](const char *name, int value) {
        control<QSlider>(window, QLatin1String(name))->setValue(value);
    };
    move("sldReverbAmp", 2);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.2f);
    move("sldShFb", -9);
    EXPECT_FLOAT_EQ(dsp.PhaseShiftFeedback(), -0.9f);
    move("sldEQ(4)", -8); // up is more gain
    EXPECT_FLOAT_EQ(dsp.EqualizerBandGainDB(4), 8.0f);
    move("sldReverbLen", 0);
    EXPECT_EQ(dsp.EchoLength(), 1); // never 0 ms
    move("sldAmplDB", -12);
    EXPECT_EQ(control<QLabel>(window, QStringLiteral("lblAmplDB"))->text(), QStringLiteral("-12 dB"));
}

TEST(FxOptsWindow, EachTabShowsItsOwnPanelOnly)
{
    clsDSP dsp;
    frmFXOpts window(dsp);
    window.show();
    QApplication::processEvents();
    QTabBar *strip = control<QTabBar>(window, QStringLiteral("strip"));
    const char *panels[] = {"picReverb", "picShift", "picEQ", "picAmpl"};
    for (int tab = 3; tab >= 0; --tab) {
        QTest::mouseClick(strip, Qt::LeftButton, {}, strip->tabRect(tab).center());
        for (int panel = 0; panel < 4; ++panel)
            EXPECT_EQ(control<QWidget>(window, QLatin1String(panels[panel]))->isVisible(), panel == tab)
                << panels[panel] << " with tab " << tab;
    }
}

TEST(FxOptsWindow, AChainFaultIsShownAndTheBandKeepsItsGain)
{
    clsDSP dsp;
    dsp.setSamplerate(1); // no band fits below a third of 1 Hz: every band design faults
    frmFXOpts window(dsp);
    QStringList shown;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            shown << box->text();
            box->done(QMessageBox::Ok);
        }
    });
    answerer.start(10);
    control<QSlider>(window, QStringLiteral("sldEQ(2)"))->setValue(-6);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Effets : erreur 5 ("))) << shown[0].toStdString();
    EXPECT_EQ(dsp.EqualizerBandGainDB(2), 0.0f);
}
