// A private PulseAudio daemon for the tests that need a sound server, with the null sink and
// pipe source every private test server has. Runs as root in this machine's containers.
//
//     PulseServer server({.sourceRateHz = 44100, .sourceChannels = 2});
//     ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
//     auto backend = valueOr(createPulseBackend(), error);       // finds the daemon through PULSE_SERVER
//     std::thread writer([&] { server.writeToSource(samples); });
//
// The pipe source takes what is written as it comes: write at the pace of the sound (a few
// milliseconds at a time) when the capture must not overrun its buffers.
#pragma once

#include "private_sound_server.h"

class PulseServer : public PrivateSoundServer {
public:
    // Starts the daemon and waits until it answers (at most about 15 s). On failure
    // isRunning() is false and errorText() says why, with the daemon's own log.
    explicit PulseServer(const Options &options = {});
};
