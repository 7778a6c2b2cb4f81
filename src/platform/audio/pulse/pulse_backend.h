// The sound server's capture side through libpulse (PulseAudio, or PipeWire's pulse server).
#pragma once

#include "platform/audio/audio_backend.h"

// Connects to the server (never autospawning it). Null when no server answers within a
// couple of seconds, with the French reason in *error when error is not null.
std::unique_ptr<AudioBackend> createPulseBackend(QString *error);
