// The virtual capture device: a real device as far as the engine can tell, whose pacing thread
// fills the queued buffers from a 16-bit PCM WAV file (converted to the capture format when
// it differs, then silence) or from a test signal.
#pragma once

#include "platform/audio/audio_backend.h"

struct VirtualDeviceOptions {
    QString inputPath;  // SONORIEL_VIRTUAL_INPUT; empty: the test signal
    double speed = 1.0; // SONORIEL_VIRTUAL_SPEED; 1 = real time, 0 = as fast as buffers are queued
    int failPrepareAt = -1; // test seam: prepareBuffer fails for the n-th buffer prepared (0-based)

    static VirtualDeviceOptions fromEnvironment();
};

std::unique_ptr<AudioBackend> createVirtualBackend(const VirtualDeviceOptions &options);
