// frmFXOpts ("Configuration effets"), the effects settings window: one tab per effect (echo,
// phase shifter, equaliser, amplifier) whose sliders write straight into the main window's
// clsDSP as they move, so a recording in progress hears each change with its next block; the
// equaliser tab shows the bands' response as a curve. There is no OK or Cancel: "&Fermer" closes
// the window and the chain keeps what the sliders wrote. Which effects are on is chosen in the
// main window.
//
// Runs on the UI thread, the thread that also processes the capture blocks, so a change never
// lands in the middle of a block. The controls carry their names as object names (sldReverbAmp,
// sldEQ(0), ...) so that tests reach them as a user would.
#pragma once

#include "effects/cls_dsp.h"

#include <QDialog>
#include <QPointF>

#include <functional>
#include <vector>

class CurvePicture;
class QLabel;
class QPushButton;
class QSlider;
class QStackedLayout;
class QTabBar;

class frmFXOpts : public QDialog {
    Q_OBJECT
public:
    // Builds the window over dsp (borrowed; it must outlive the window) with the sliders at
    // the chain's values. Opening writes nothing into the chain but the amplifier's gain,
    // which the slider shows as it is.
    explicit frmFXOpts(clsDSP &dsp, QWidget *parent = nullptr);

    // Opens the window modal to owner over dsp and returns once it is closed.
    static void ShowEx(clsDSP &dsp, QWidget *owner);

    // The curve's points, one per band (eqPoints[i] for band i), in pixels of picEQAmp.
    const std::vector<QPointF> &eqPoints() const { return m_eqPoints; }
    const CurvePicture &curvePicture() const { return *picEQAmp; }

    void DrawEqualizerCurve();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // frm_fx_opts.cpp
    QWidget *createReverbPanel();
    QWidget *createShiftPanel();
    QWidget *createEqPanel();
    QWidget *createAmplPanel();
    void loadSliders();
    void strip_Click();
    void sldAmplDB_Change();
    // Runs one property write; a fault of the chain is shown rather than thrown across the
    // event loop, and the chain keeps its previous value.
    void apply(const std::function<void()> &write);

    // frm_fx_opts_equalizer.cpp
    void BuildEqualizerSliders();
    QSlider *createBandSlider(int index);
    void sldEQ_Change(int index);

    clsDSP &m_dsp;
    std::vector<QPointF> m_eqPoints;

    QTabBar *strip = nullptr;
    QStackedLayout *m_panels = nullptr;
    QWidget *picReverb = nullptr;
    QWidget *picShift = nullptr;
    QWidget *picEQ = nullptr;
    QWidget *picAmpl = nullptr;
    QPushButton *Command1 = nullptr;

    QSlider *sldReverbLen = nullptr;
    QSlider *sldReverbAmp = nullptr;
    QSlider *sldShDry = nullptr;
    QSlider *sldShWet = nullptr;
    QSlider *sldShFb = nullptr;
    QSlider *sldShSwpRange = nullptr;
    QSlider *sldShSwpRate = nullptr;
    QSlider *sldShFreq = nullptr;
    QSlider *sldAmplDB = nullptr;
    QLabel *lblAmplDB = nullptr;

    QWidget *m_bandArea = nullptr; // the part of picEQ that holds the band sliders
    std::vector<QSlider *> sldEQ;
    std::vector<QLabel *> lblEQID;
    CurvePicture *picEQAmp = nullptr;
};
