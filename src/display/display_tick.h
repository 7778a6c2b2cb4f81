// One tick of the main window's display timer: while a recording runs, the trace, the
// spectrum, the two smoothed level bars and the size and duration texts are refreshed from
// the latest block; otherwise only the texts are reset and the pictures keep what they show.
// The window owns the objects and the boxes and calls this every 25 ms on the UI thread.
#pragma once

#include "display/draw.h"
#include "display/picture_box.h"
#include "display/smooth.h"

#include <QString>

#include <cstdint>
#include <span>

// What the tick reads of the main window.
struct DisplayTickInputs {
    bool isRecording = false;                   // clsRecorder.IsRecording
    std::span<const std::int16_t> intLastBlock; // as written to the file, interleaved L R
    bool stereo = false;                        // chkStereo
    std::int32_t lngRecordedMs = 0;
    QString txtFile; // the output file, whose size on disk is shown
};

// The window's objects and boxes that the tick draws with and on.
struct DisplayTickTargets {
    clsDraw &clsPainter;
    clsSmooth &smoothLeft;
    clsSmooth &smoothRight;
    PictureBox &picAmpl;
    PictureBox &picFreq;
    PictureBox &picVUL;
    PictureBox &picVUR;
};

// The two status-bar panels after the tick.
struct StatusPanels {
    QString size;     // panel 1
    QString duration; // panel 2
};

StatusPanels runDisplayTick(const DisplayTickInputs &inputs, DisplayTickTargets &targets);

// The panels' texts while no recording runs (and at start-up).
StatusPanels idleStatusPanels();
