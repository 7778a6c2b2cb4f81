// The effects settings window over a live chain: opening it changes nothing, each slider writes
// its property by its scale while it moves, the tabs switch panels, "&Fermer" closes, and a
// fault of the chain reaches the user instead of ending the program.
#include "fx_window_support.h"

#include "effects/window/frm_fx_opts.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

namespace {

struct Settings {
    std::int32_t echoLength, amplify, bands;
    float echoAmp, dry, wet, feedback, sweepRate, sweepRange, frequency;
    std::vector<float> gains;
    bool operator==(const Settings &) const = default;
};

Settings settingsOf(const clsDSP &dsp)
{
    Settings s{dsp.EchoLength(), dsp.AmplifyDB(), dsp.EqualizerBands(), dsp.EchoAmp(),
               dsp.PhaseShiftDry(), dsp.PhaseShiftWet(), dsp.PhaseShiftFeedback(),
               dsp.PhaseShiftSweepRate(), dsp.PhaseShiftSweepRange(), dsp.PhaseShiftFrequency(), {}};
    for (std::int32_t i = 0; i < dsp.EqualizerBands(); ++i)
        s.gains.push_back(dsp.EqualizerBandGainDB(i));
    return s;
}

// An echo of 100 ms at 44100 Hz mono: one block of the delay line's length with a single
// 10000 at its start leaves 4000 waiting for the first value of the next block.
std::vector<std::int16_t> feedEchoImpulse(clsDSP &dsp)
{
    prepareForRecording(dsp);
    dsp.setEffectsUsed(clsDSP::kEcho);
    std::vector<std::int16_t> block(4410, 0);
    block[0] = 10000;
    dsp.ProcessSamples(block);
    return std::vector<std::int16_t>(4410, 0);
}

// While it lives, closes every message box that opens and keeps its text.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                texts.push_back(box->text());
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start(10);
    }
    std::vector<QString> texts;

private:
    QTimer m_timer;
};

} // namespace

TEST(FxOptsOpening, ShowsTheChainsSettingsAndChangesNone)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    const Settings before = settingsOf(dsp);
    frmFXOpts window(dsp);
    window.show();
    QApplication::processEvents();

    EXPECT_EQ(settingsOf(dsp), before);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Configuration effets"));
    const std::pair<const char *, int> expected[] = {
        {"sldReverbLen", 100}, {"sldReverbAmp", 4}, {"sldShDry", 10},      {"sldShWet", 10},
        {"sldShFb", 5},        {"sldShSwpRate", 10}, {"sldShSwpRange", 40}, {"sldShFreq", 100},
        {"sldAmplDB", 3}};
    for (const auto &[name, value] : expected)
        EXPECT_EQ(control<QSlider>(window, QLatin1String(name))->value(), value) << name;
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(control<QSlider>(window, QStringLiteral("sldEQ(%1)").arg(i))->value(), 0) << i;
    EXPECT_EQ(control<QLabel>(window, QStringLiteral("lblAmplDB"))->text(), QStringLiteral("3 dB"));
    EXPECT_EQ(control<QPushButton>(window, QStringLiteral("Command1"))->text(), QStringLiteral("&Fermer"));
}

TEST(FxOptsOpening, LeavesTheRunningEchoSounding)
{
    clsDSP dsp;
    std::vector<std::int16_t> next = feedEchoImpulse(dsp);
    frmFXOpts window(dsp);
    dsp.ProcessSamples(next);
    EXPECT_EQ(next[0], 4000);
}

TEST(FxOptsSliders, EachSliderWritesItsPropertyByItsScale)
{
    struct Case {
        const char *name;
        int value;
        std::function<float(const clsDSP &)> property;
        float expected;
    };
    const Case cases[] = {
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
    };
    clsDSP dsp;
    prepareForRecording(dsp);
    frmFXOpts window(dsp);
    for (const Case &c : cases) {
        QSlider *slider = control<QSlider>(window, QLatin1String(c.name));
        ASSERT_NE(slider, nullptr);
        slider->setValue(c.value);
        EXPECT_FLOAT_EQ(c.property(dsp), c.expected) << c.name;
    }
    EXPECT_EQ(control<QLabel>(window, QStringLiteral("lblAmplDB"))->text(), QStringLiteral("-12 dB"));
    // No echo length of 0 ms can be chosen.
    control<QSlider>(window, QStringLiteral("sldReverbLen"))->setValue(0);
    EXPECT_EQ(dsp.EchoLength(), 1);
}

TEST(FxOptsSliders, ReverbAmpAtNineSetsPointNineAndCutsTheRunningEcho)
{
    clsDSP dsp;
    std::vector<std::int16_t> next = feedEchoImpulse(dsp);
    frmFXOpts window(dsp);
    control<QSlider>(window, QStringLiteral("sldReverbAmp"))->setValue(9);
    EXPECT_FLOAT_EQ(dsp.EchoAmp(), 0.9f);
    dsp.ProcessSamples(next);
    EXPECT_EQ(next[0], 0);
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
    ASSERT_NE(rate, nullptr);
    ASSERT_GT(rate->width(), 100);

    QPoint knob = knobCentre(*rate);
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

TEST(FxOptsTabs, EachTabShowsItsOwnPanelOnly)
{
    clsDSP dsp;
    frmFXOpts window(dsp);
    window.show();
    QApplication::processEvents();
    QTabBar *strip = control<QTabBar>(window, QStringLiteral("strip"));
    ASSERT_NE(strip, nullptr);
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

TEST(FxOptsWindow, FermerClosesAndTheChainKeepsWhatTheSlidersWrote)
{
    clsDSP dsp;
    prepareForRecording(dsp);
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *window = qobject_cast<frmFXOpts *>(QApplication::activeModalWidget());
        ASSERT_NE(window, nullptr);
        seen = true;
        control<QSlider>(*window, QStringLiteral("sldAmplDB"))->setValue(-7);
        QTest::mouseClick(control<QPushButton>(*window, QStringLiteral("Command1")), Qt::LeftButton);
    });
    frmFXOpts::ShowEx(dsp, nullptr);
    EXPECT_TRUE(seen);
    EXPECT_EQ(dsp.AmplifyDB(), -7);
}

TEST(FxOptsWindow, AChainFaultIsShownAndTheBandKeepsItsGain)
{
    clsDSP dsp;
    dsp.setSamplerate(1); // no band fits below a third of 1 Hz: every band design faults
    frmFXOpts window(dsp);
    MessageBoxAnswerer answerer;
    control<QSlider>(window, QStringLiteral("sldEQ(2)"))->setValue(-6);
    ASSERT_EQ(answerer.texts.size(), 1u);
    EXPECT_TRUE(answerer.texts[0].startsWith(QStringLiteral("Effets : erreur 5 ("))) << answerer.texts[0].toStdString();
    EXPECT_EQ(dsp.EqualizerBandGainDB(2), 0.0f);
}
