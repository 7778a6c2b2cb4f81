// The sound server's capture side through libpulse (PulseAudio, or PipeWire's pulse server).
#pragma once

#include "platform/audio/audio_backend.h"

// Connects to the server (never autospawning it). Fails when no server answers within a
// couple of seconds.
Result<std::unique_ptr<AudioBackend>> createPulseBackend();
