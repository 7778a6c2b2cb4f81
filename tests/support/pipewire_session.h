// A private PipeWire session for the tests that check the sound server code against PipeWire:
// a session bus (dbus-daemon, which WirePlumber needs), pipewire, WirePlumber with its device
// monitors switched off (the machine's own cards stay out of it) and pipewire-pulse with the
// null sink and pipe source every private test server has.
//
//     PipeWireSession session({.sourceRateHz = 44100, .sourceChannels = 2});
//     ASSERT_TRUE(session.isRunning()) << session.errorText().toStdString();
//     auto backend = valueOr(createPulseBackend(), error);  // finds pipewire-pulse through PULSE_SERVER
//
// Unlike PulseAudio's, PipeWire's pipe source is read by the graph in real time: write at the
// pace of the sound, and expect the server's start-up latency as silence before the signal.
#pragma once

#include "private_sound_server.h"

class PipeWireSession : public PrivateSoundServer {
public:
    // Starts the four programs and waits until pipewire-pulse lists both test devices and
    // WirePlumber has chosen the default source (at most about 20 s). On failure isRunning()
    // is false and errorText() says why, with the programs' own logs.
    explicit PipeWireSession(const Options &options = {});

private:
    bool start(const Options &options);
    bool writeConfiguration(const Options &options);
    bool hasDefaultSource(QString &reply) const;
};
