// Shared pieces of the effects settings window's tests: a chain set up as the main window sets
// it for a recording, reaching a control by its name, and where a slider's knob is on screen.
#pragma once

#include "effects/cls_dsp.h"

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>

#include <gtest/gtest.h>

// A chain at 44100 Hz mono with the default settings, as for a recording.
inline void prepareForRecording(clsDSP &dsp)
{
    dsp.setSamplerate(44100);
    dsp.setChannels(1);
}

// The control named name inside window, failing the test when it is missing.
template <typename T>
T *control(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    EXPECT_NE(found, nullptr) << "no control " << name.toStdString();
    return found;
}

// The centre of the slider's knob, in the slider's coordinates.
inline QPoint knobCentre(const QSlider &slider)
{
    QStyleOptionSlider option;
    option.initFrom(&slider);
    option.orientation = slider.orientation();
    option.minimum = slider.minimum();
    option.maximum = slider.maximum();
    option.sliderPosition = slider.sliderPosition();
    option.sliderValue = slider.value();
    option.singleStep = slider.singleStep();
    option.pageStep = slider.pageStep();
    option.tickPosition = slider.tickPosition();
    option.tickInterval = slider.tickInterval();
    option.upsideDown = slider.orientation() == Qt::Horizontal
                            ? slider.invertedAppearance() != (option.direction == Qt::RightToLeft)
                            : !slider.invertedAppearance();
    option.subControls = QStyle::SC_All;
    return slider.style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, &slider).center();
}
