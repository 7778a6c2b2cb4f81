// Shared pieces of the effects window's tests: a chain set up for a recording, controls by name.
#pragma once

#include "effects/cls_dsp.h"

#include <QSlider>
#include <QWidget>

#include <gtest/gtest.h>

// A chain at 44100 Hz mono with the default settings, as for a recording.
inline void prepareForRecording(clsDSP &dsp) { dsp.setSamplerate(44100); dsp.setChannels(1); }

// The control named name inside window, failing the test when it is missing.
template <typename T>
T *control(QWidget &window, const QString &name)
{
    T *found = window.findChild<T *>(name);
    EXPECT_NE(found, nullptr) << "no control " << name.toStdString();
    return found;
}
