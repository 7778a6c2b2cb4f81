// The equaliser tab of the effects settings window: one vertical slider and one frequency label
// per band, built for the chain's band count, the right click that puts a band back to 0 dB,
// and the response curve under them.
#include "effects/window/frm_fx_opts.h"

#include "common/rounding.h"
#include "effects/window/curve_picture.h"
#include "effects/window/equalizer_curve.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The band sliders divide this width among themselves, 20 pixels apart; the area that holds
// them is wider by the last label's reach past its slider.
constexpr int kBandSpread = 420;
constexpr int kBandSliderHeight = 150;
constexpr int kBandLabelHeight = 20;
constexpr int kBandSliderGap = 20;
constexpr int kBandLabelIndent = 15;
constexpr int kCurveHeight = 120;
// The curve gets one band step per slider pitch over a width of kBandSpread + 10; its band
// points then fall under the sliders' centres when the sliders start this far to its right.
constexpr int kCurvePointShift = 14;

int bandSliderWidth(int bands)
{
    return std::max(kBandSpread / std::max(bands, 1) - kBandSliderGap, 16);
}

} // namespace

QWidget *frmFXOpts::createEqPanel()
{
    picEQ = new QWidget(this);
    picEQ->setObjectName(QStringLiteral("picEQ"));
    auto *column = new QVBoxLayout(picEQ);
    auto *lbl12DB = new QLabel(QStringLiteral("[-12;12] dB"), picEQ);
    lbl12DB->setObjectName(QStringLiteral("lbl12DB"));
    column->addWidget(lbl12DB);
    const int pitch = kBandSpread / std::max(m_dsp.EqualizerBands(), 1);
    auto *bandRow = new QHBoxLayout;
    bandRow->setSpacing(0);
    bandRow->addSpacing(std::clamp(pitch / 2 - kCurvePointShift, 0, kBandSpread / 4));
    m_bandArea = new QWidget(picEQ);
    m_bandArea->setFixedSize(kBandSpread + kBandSliderGap, kBandSliderHeight + kBandLabelHeight);
    bandRow->addWidget(m_bandArea);
    bandRow->addStretch();
    column->addLayout(bandRow);
    picEQAmp = new CurvePicture(QSize(kBandSpread + 10, kCurveHeight), picEQ);
    picEQAmp->setObjectName(QStringLiteral("picEQAmp"));
    column->addWidget(picEQAmp);
    column->addStretch();
    createBandSlider(0);
    return picEQ;
}

QSlider *frmFXOpts::createBandSlider(int index)
{
    const QString suffix = QStringLiteral("(%1)").arg(index);
    auto *control = new QSlider(Qt::Vertical, m_bandArea);
    control->setObjectName(QStringLiteral("sldEQ") + suffix);
    control->setRange(-equalizer_curve::kSliderMax, equalizer_curve::kSliderMax);
    control->setSingleStep(1);
    control->setPageStep(5);
    control->setTracking(true);
    // -12 sits on top and reads +12 dB: a higher knob is more gain, and the up key raises it.
    control->setInvertedAppearance(true);
    control->setInvertedControls(true);
    control->setTickPosition(QSlider::TicksBothSides);
    control->setTickInterval(6);
    control->installEventFilter(this);
    connect(control, &QSlider::valueChanged, this, [this, index] { sldEQ_Change(index); });

    auto *caption = new QLabel(m_bandArea);
    caption->setObjectName(QStringLiteral("lblEQID") + suffix);
    sldEQ.push_back(control);
    lblEQID.push_back(caption);
    return control;
}

void frmFXOpts::BuildEqualizerSliders()
{
    const int n = m_dsp.EqualizerBands();
    const int width = bandSliderWidth(n);

    QSlider *first = sldEQ.front();
    first->setGeometry(static_cast<int>(roundHalfEven(static_cast<double>(kBandSpread) / n - width)), 0, width,
                       kBandSliderHeight);
    while (static_cast<int>(sldEQ.size()) < n) {
        const QSlider *previous = sldEQ.back();
        QSlider *next = createBandSlider(static_cast<int>(sldEQ.size()));
        next->setGeometry(previous->x() + previous->width() + kBandSliderGap, 0, width, kBandSliderHeight);
        next->setVisible(true);
    }
    for (std::size_t i = 0; i < sldEQ.size(); ++i) {
        const QSlider *control = sldEQ[i];
        lblEQID[i]->setGeometry(control->x() + kBandLabelIndent, kBandSliderHeight,
                                width + kBandSliderGap - kBandLabelIndent, kBandLabelHeight);
        lblEQID[i]->setVisible(true);
    }

    for (int i = 0; i < n; ++i) {
        QSlider *control = sldEQ[static_cast<std::size_t>(i)];
        const QSignalBlocker blocker(control);
        control->setValue(static_cast<int>(roundHalfEven(-static_cast<double>(m_dsp.EqualizerBandGainDB(i)))));
        lblEQID[static_cast<std::size_t>(i)]->setText(bandFrequencyText(m_dsp.EqualizerBandFrequency(i)));
    }
    DrawEqualizerCurve();
}

void frmFXOpts::sldEQ_Change(int index)
{
    const int value = sldEQ[static_cast<std::size_t>(index)]->value();
    apply([&] { m_dsp.setEqualizerBandGainDB(index, static_cast<float>(-value)); });
    DrawEqualizerCurve();
}

void frmFXOpts::DrawEqualizerCurve()
{
    const int n = std::min(m_dsp.EqualizerBands(), static_cast<int>(sldEQ.size()));
    std::vector<int> values;
    values.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        values.push_back(sldEQ[static_cast<std::size_t>(i)]->value());
    ::DrawEqualizerCurve(picEQAmp->image(), values, m_eqPoints);
    picEQAmp->update();
}

// A right click on a band slider puts that band back to 0 dB; the slider itself does nothing
// with the right button.
bool frmFXOpts::eventFilter(QObject *watched, QEvent *event)
{
    const auto found = std::find(sldEQ.begin(), sldEQ.end(), watched);
    if (found == sldEQ.end())
        return QDialog::eventFilter(watched, event);
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease &&
        event->type() != QEvent::MouseButtonDblClick)
        return false;
    if (static_cast<QMouseEvent *>(event)->button() != Qt::RightButton)
        return false;
    if (event->type() == QEvent::MouseButtonRelease) {
        QSlider *control = *found;
        const bool unchanged = control->value() == 0;
        control->setValue(0);
        if (unchanged)
            sldEQ_Change(static_cast<int>(found - sldEQ.begin()));
    }
    return true;
}
