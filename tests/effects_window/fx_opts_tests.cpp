// The effects settings window over a live chain: opening it changes nothing, each slider writes
// its property by its scale while it moves, the tabs switch panels, and a fault of the chain
// reaches the user instead of ending the program.
#include "fx_window_support.h"

#include "effects/window/frm_fx_opts.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

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

// An echo of 100 ms at 44100 Hz mono: one block of the delay line's length with a single 10000
// at its start leaves 4000 waiting for the first value of the next block, which it returns.
std::vector<std::int16_t> feedEchoImpulse(clsDSP &dsp)
{
    prepareForRecording(dsp);
    dsp.setEffectsUsed(clsDSP::kEcho);
    std::vector<std::int16_t> block(4410, 0);
    block[0] = 10000;
    dsp.ProcessSamples(block);
    return std::vector<std::int16_t>(4410, 0);
}

} // namespace

TEST(FxOptsOpening, ShowsTheChainsSettingsWithoutTouchingThemOrTheRunningEcho)
{
    clsDSP dsp;
    std::vector<std::int16_t> next = feedEchoImpulse(dsp);
    const std::vector<float> before = settingsOf(dsp);
    frmFXOpts window(dsp);
    window.show();
    QApplication::processEvents();

    EXPECT_EQ(settingsOf(dsp), before);
    dsp.ProcessSamples(next);
    EXPECT_EQ(next[0], 4000);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Configuration effets"));
    const std::pair<const char *, int> expected[] = {
        {"sldReverbLen", 100}, {"sldReverbAmp", 4},   {"sldShDry", 10},   {"sldShWet", 10},
        {"sldShFb", 5},        {"sldShSwpRate", 10},  {"sldShSwpRange", 40}, {"sldShFreq", 100},
        {"sldAmplDB", 3},      {"sldEQ(0)", 0},       {"sldEQ(6)", 0}};
    for (const auto &[name, value] : expected)
        EXPECT_EQ(control<QSlider>(window, QLatin1String(name))->value(), value) << name;
    EXPECT_EQ(control<QLabel>(window, QStringLiteral("lblAmplDB"))->text(), QStringLiteral("3 dB"));
}

TEST(FxOptsSliders, EachSliderWritesItsPropertyByItsScale)
{
    using Get = std::function<float(const clsDSP &)>;
    const std::tuple<const char *, int, Get, float> cases[] = {
        {"sldReverbLen", 250, [](const clsDSP &d) { return float(d.EchoLength()); }, 250.0f},
        {"sldReverbAmp", 2, [](const clsDSP &d) { return d.EchoAmp(); }, 0.2f},
        {"sldShDry", -3, [](const clsDSP &d) { return d.PhaseShiftDry(); }, -0.3f},
        {"sldShWet", 7, [](const clsDSP &d) { return d.PhaseShiftWet(); }, 0.7f},
        {"sldShFb", -9, [](const clsDSP &d) { return d.PhaseShiftFeedback(); }, -0.9f},
        {"sldShSwpRate", 15, [](const clsDSP &d) { return d.PhaseShiftSweepRate(); }, 1.5f},
        {"sldShSwpRange", 60, [](const clsDSP &d) { return d.PhaseShiftSweepRange(); }, 6.0f},
        {"sldShFreq", -10, [](const clsDSP &d) { return d.PhaseShiftFrequency(); }, -10.0f},
        {"sldAmplDB", -12, [](const clsDSP &d) { return float(d.AmplifyDB()); }, -12.0f},
        {"sldEQ(4)", -8, [](const clsDSP &d) { return d.EqualizerBandGainDB(4); }, 8.0f},
        {"sldReverbLen", 0, [](const clsDSP &d) { return float(d.EchoLength()); }, 1.0f}, // never 0 ms
    };
    clsDSP dsp;
    prepareForRecording(dsp);
    frmFXOpts window(dsp);
    for (const auto &[name, value, property, written] : cases) {
        control<QSlider>(window, QLatin1String(name))->setValue(value);
        EXPECT_FLOAT_EQ(property(dsp), written) << name;
    }
    EXPECT_EQ(control<QLabel>(window, QStringLiteral("lblAmplDB"))->text(), QStringLiteral("-12 dB"));
}

TEST(FxOptsSliders, DraggingTheSweepRateAppliesEveryPositionBeforeRelease)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    frmFXOpts window(dsp);
    control<QTabBar>(window, QStringLiteral("strip"))->setCurrentIndex(1);
    window.show();
    QApplication::processEvents();
    QSlider *rate = control<QSlider>(window, QStringLiteral("sldShSwpRate"));
    ASSERT_GT(rate->width(), 100);

    const QPoint knob = knobCentre(*rate);
    QTest::mousePress(rate, Qt::LeftButton, {}, knob);
    std::vector<float> seen;
    for (int x = knob.x() - 30; x > 0; x -= 30) {
        QTest::mouseMove(rate, QPoint(x, knob.y()));
        ASSERT_TRUE(rate->isSliderDown());
        seen.push_back(dsp.PhaseShiftSweepRate());
        EXPECT_FLOAT_EQ(seen.back(), rate->value() / 10.0f);
    }
    ASSERT_GE(seen.size(), 2u);
    EXPECT_LT(seen.front(), 1.0f);
    EXPECT_LT(seen.back(), seen.front());
    QTest::mouseMove(rate, QPoint(-rate->width(), knob.y()));
    QTest::mouseRelease(rate, Qt::LeftButton, {}, QPoint(-rate->width(), knob.y()));
    EXPECT_FLOAT_EQ(dsp.PhaseShiftSweepRate(), 0.1f);
}

TEST(FxOptsWindow, EachTabShowsItsOwnPanelOnly)
{
    clsDSP dsp;
    frmFXOpts window(dsp);
    window.show();
    QApplication::processEvents();
    QTabBar *strip = control<QTabBar>(window, QStringLiteral("strip"));
    const char *captions[] = {"Echo", "Déphasage", "Egaliseur", "Amplificateur"};
    const char *panels[] = {"picReverb", "picShift", "picEQ", "picAmpl"};
    ASSERT_EQ(strip->count(), 4);
    for (int tab = 3; tab >= 0; --tab) {
        EXPECT_EQ(strip->tabText(tab), QString::fromUtf8(captions[tab]));
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
