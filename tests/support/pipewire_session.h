// A private PipeWire session for the tests that check the sound server code against PipeWire:
// a session bus (dbus-daemon, which WirePlumber needs), pipewire, WirePlumber with its device
// monitors switched off (the machine's own cards stay out of it) and pipewire-pulse with a
// null sink ("sonoriel_test_sink") and a pipe source ("sonoriel_test_source") whose FIFO the
// test writes a known signal into. Everything lives in one temporary runtime folder. While the
// session runs, PULSE_SERVER points the process's libpulse clients at its pulse socket.
//
//     PipeWireSession session({.sourceRateHz = 44100, .sourceChannels = 2});
//     ASSERT_TRUE(session.isRunning()) << session.errorText().toStdString();
//     auto backend = createPulseBackend(&error);  // finds pipewire-pulse through PULSE_SERVER
//
// Unlike PulseAudio's, PipeWire's pipe source is read by the graph in real time: write at the
// pace of the sound, and expect the server's start-up latency as silence before the signal.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>

class PipeWireSession {
public:
    struct Options {
        int sourceRateHz = 44100; // the pipe source's own format
        int sourceChannels = 2;
    };

    // Starts the four programs and waits until pipewire-pulse lists both test devices and
    // WirePlumber has chosen the default source (at most about 20 s). On failure isRunning()
    // is false and errorText() says why, with the programs' own logs.
    explicit PipeWireSession(const Options &options);
    PipeWireSession();
    ~PipeWireSession(); // stops the programs, restores PULSE_SERVER, removes the runtime folder

    PipeWireSession(const PipeWireSession &) = delete;
    PipeWireSession &operator=(const PipeWireSession &) = delete;

    // False as soon as one of the session's programs has ended.
    bool isRunning() const;
    QString errorText() const;

    QString sourceName() const { return QStringLiteral("sonoriel_test_source"); }
    QString sinkName() const { return QStringLiteral("sonoriel_test_sink"); }
    QString sourceDescription() const { return QStringLiteral("Entrée de test Sonoriel"); }
    QString sinkDescription() const { return QStringLiteral("Sortie de test Sonoriel"); }
    QString serverAddress() const; // "unix:<socket path>"

    // Writes interleaved s16le samples into the pipe source, waiting while the FIFO is full;
    // false when the source has not read for two seconds or has gone. Safe to call from a
    // thread of the test's own.
    bool writeToSource(std::span<const std::int16_t> samples);

    // Takes the pipe source off the server, as when a capture device is unplugged.
    bool removeSource();

    // Runs pactl against this session's pulse server; returns its stdout, empty on failure.
    QString pactl(const QStringList &arguments) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
