// The effects settings window: its tabs and panels, the echo, phase shifter and amplifier
// sliders with their mapping onto clsDSP, and the opening sequence.
#include "effects/window/frm_fx_opts.h"

#include "common/app_error.h"
#include "common/rounding.h"
#include "effects/window/curve_picture.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedLayout>
#include <QTabBar>
#include <QVBoxLayout>

#include <cmath>

namespace {

template <typename T>
T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QSlider *slider(QWidget *parent, const char *name, int minimum, int maximum,
                Qt::Orientation orientation = Qt::Horizontal)
{
    auto *control = named(new QSlider(orientation, parent), QLatin1String(name));
    control->setRange(minimum, maximum);
    control->setSingleStep(1);
    control->setPageStep(5);
    control->setTracking(true); // every position while dragging is a value change
    return control;
}

QLabel *label(const QString &text, QWidget *parent, const char *name = nullptr)
{
    auto *control = new QLabel(text, parent);
    if (name)
        control->setObjectName(QLatin1String(name));
    return control;
}

// A property read back into a slider: rounded, halves to even; what no slider can show reads 0.
int sliderValue(double value)
{
    const double rounded = roundHalfEven(value);
    if (!(std::fabs(rounded) < 1e9))
        return 0;
    return static_cast<int>(rounded);
}

int tenths(float value)
{
    return sliderValue(value * 10.0f);
}

float fromTenths(int value)
{
    return static_cast<float>(value) / 10.0f;
}

} // namespace

frmFXOpts::frmFXOpts(clsDSP &dsp, QWidget *parent) : QDialog(parent), m_dsp(dsp)
{
    setWindowTitle(QStringLiteral("Configuration effets"));
    m_eqPoints.resize(static_cast<std::size_t>(m_dsp.EqualizerBands()));

    auto *column = new QVBoxLayout(this);
    strip = named(new QTabBar(this), QStringLiteral("strip"));
    const struct {
        const char *caption;
        const char *key;
    } tabs[] = {{"Echo", "ECHO"}, {"Déphasage", "SHIFT"}, {"Egaliseur", "EQ"}, {"Amplificateur", "AMPL"}};
    for (const auto &tab : tabs) {
        const int index = strip->addTab(QString::fromUtf8(tab.caption));
        strip->setTabData(index, QString::fromLatin1(tab.key));
    }
    column->addWidget(strip);

    m_panels = new QStackedLayout;
    m_panels->addWidget(createReverbPanel());
    m_panels->addWidget(createShiftPanel());
    m_panels->addWidget(createEqPanel());
    m_panels->addWidget(createAmplPanel());
    column->addLayout(m_panels);

    Command1 = named(new QPushButton(QStringLiteral("&Fermer"), this), QStringLiteral("Command1"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);
    column->addLayout(buttons);
    connect(Command1, &QPushButton::clicked, this, &QDialog::close);

    strip_Click();
    connect(strip, &QTabBar::currentChanged, this, &frmFXOpts::strip_Click);
    loadSliders();
    sldAmplDB_Change();
    BuildEqualizerSliders();
}

void frmFXOpts::ShowEx(clsDSP &dsp, QWidget *owner)
{
    frmFXOpts window(dsp, owner);
    window.setWindowModality(Qt::WindowModal);
    window.exec();
}

QWidget *frmFXOpts::createReverbPanel()
{
    picReverb = named(new QWidget(this), QStringLiteral("picReverb"));
    auto *grid = new QGridLayout(picReverb);
    sldReverbLen = slider(picReverb, "sldReverbLen", 1, 1000);
    sldReverbAmp = slider(picReverb, "sldReverbAmp", 1, 9);
    grid->addWidget(label(QStringLiteral("Durée (ms) :"), picReverb), 0, 0);
    grid->addWidget(sldReverbLen, 0, 1, 1, 2);
    grid->addWidget(label(QStringLiteral("1 ms"), picReverb), 1, 1, Qt::AlignLeft);
    grid->addWidget(label(QStringLiteral("1000 ms"), picReverb), 1, 2, Qt::AlignRight);
    grid->addWidget(label(QStringLiteral("Amplificateur :"), picReverb), 2, 0);
    grid->addWidget(sldReverbAmp, 2, 1, 1, 2);
    grid->setRowStretch(3, 1);

    connect(sldReverbLen, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setEchoLength(value); }); });
    connect(sldReverbAmp, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setEchoAmp(fromTenths(value)); }); });
    return picReverb;
}

QWidget *frmFXOpts::createShiftPanel()
{
    picShift = named(new QWidget(this), QStringLiteral("picShift"));
    auto *grid = new QGridLayout(picShift);
    sldShDry = slider(picShift, "sldShDry", -10, 10);
    sldShWet = slider(picShift, "sldShWet", -10, 10);
    sldShFb = slider(picShift, "sldShFb", -9, 9);
    sldShSwpRange = slider(picShift, "sldShSwpRange", 30, 60);
    sldShSwpRate = slider(picShift, "sldShSwpRate", 1, 15);
    sldShFreq = slider(picShift, "sldShFreq", -10, 150);
    const struct {
        const char *caption;
        QSlider *control;
    } rows[] = {{"Dry:", sldShDry},           {"Wet:", sldShWet},
                {"Feedback:", sldShFb},       {"Sweep Range:", sldShSwpRange},
                {"Sweep Rate:", sldShSwpRate}, {"Frequency:", sldShFreq}};
    int row = 0;
    for (const auto &entry : rows) {
        grid->addWidget(label(QString::fromLatin1(entry.caption), picShift), row, 0);
        grid->addWidget(entry.control, row, 1);
        ++row;
    }
    grid->setRowStretch(row, 1);

    connect(sldShDry, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setPhaseShiftDry(fromTenths(value)); }); });
    connect(sldShWet, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setPhaseShiftWet(fromTenths(value)); }); });
    connect(sldShFb, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setPhaseShiftFeedback(fromTenths(value)); }); });
    connect(sldShSwpRange, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setPhaseShiftSweepRange(fromTenths(value)); }); });
    connect(sldShSwpRate, &QSlider::valueChanged, this,
            [this](int value) { apply([&] { m_dsp.setPhaseShiftSweepRate(fromTenths(value)); }); });
    connect(sldShFreq, &QSlider::valueChanged, this, [this](int value) {
        apply([&] { m_dsp.setPhaseShiftFrequency(static_cast<float>(value)); });
    });
    return picShift;
}

QWidget *frmFXOpts::createAmplPanel()
{
    picAmpl = named(new QWidget(this), QStringLiteral("picAmpl"));
    auto *grid = new QGridLayout(picAmpl);
    sldAmplDB = slider(picAmpl, "sldAmplDB", -12, 12);
    lblAmplDB = label(QString(), picAmpl, "lblAmplDB");
    // As wide as its widest text, so that the slider keeps its length while it moves.
    lblAmplDB->setMinimumWidth(lblAmplDB->fontMetrics().horizontalAdvance(QStringLiteral("-12 dB")));
    lblAmplDB->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label(QStringLiteral("Taux d'amplification :"), picAmpl, "lblAmplBy"), 0, 0);
    grid->addWidget(sldAmplDB, 0, 1);
    grid->addWidget(lblAmplDB, 0, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    connect(sldAmplDB, &QSlider::valueChanged, this, &frmFXOpts::sldAmplDB_Change);
    return picAmpl;
}

// The sliders take the chain's values without writing them back: opening the window during a
// recording neither cuts the running echo nor restarts the sweep.
void frmFXOpts::loadSliders()
{
    const auto set = [](QSlider *control, int value) {
        const QSignalBlocker blocker(control);
        control->setValue(value);
    };
    set(sldReverbAmp, tenths(m_dsp.EchoAmp()));
    set(sldReverbLen, m_dsp.EchoLength());
    set(sldShDry, tenths(m_dsp.PhaseShiftDry()));
    set(sldShWet, tenths(m_dsp.PhaseShiftWet()));
    set(sldShFb, tenths(m_dsp.PhaseShiftFeedback()));
    set(sldShFreq, sliderValue(m_dsp.PhaseShiftFrequency()));
    set(sldShSwpRange, tenths(m_dsp.PhaseShiftSweepRange()));
    set(sldShSwpRate, tenths(m_dsp.PhaseShiftSweepRate()));
    set(sldAmplDB, m_dsp.AmplifyDB());
}

void frmFXOpts::strip_Click()
{
    const QString key = strip->tabData(strip->currentIndex()).toString();
    QWidget *panel = nullptr;
    if (key == QLatin1String("ECHO"))
        panel = picReverb;
    else if (key == QLatin1String("SHIFT"))
        panel = picShift;
    else if (key == QLatin1String("EQ"))
        panel = picEQ;
    else if (key == QLatin1String("AMPL"))
        panel = picAmpl;
    if (!panel)
        return;
    m_panels->setCurrentWidget(panel);
}

void frmFXOpts::sldAmplDB_Change()
{
    const int value = sldAmplDB->value();
    apply([&] { m_dsp.setAmplifyDB(value); });
    lblAmplDB->setText(QString::number(value) + QStringLiteral(" dB"));
}

void frmFXOpts::apply(const std::function<void()> &write)
{
    try {
        write();
    } catch (const AppError &error) {
        QMessageBox::warning(this, QStringLiteral("Sonoriel"),
                             QStringLiteral("Effets : erreur %1 (%2, %3)")
                                 .arg(error.number())
                                 .arg(error.text(), error.source()));
    }
}
