// A private PulseAudio daemon for the tests that need a sound server: its own runtime folder,
// a null sink ("sonoriel_test_sink") and a pipe source ("sonoriel_test_source") whose FIFO the
// test writes a known signal into. While it runs, PULSE_SERVER points the process's libpulse
// clients at it. Runs as root in this machine's containers.
//
//     PulseServer server({.sourceRateHz = 44100, .sourceChannels = 2});
//     ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
//     auto backend = createPulseBackend(&error);       // finds the daemon through PULSE_SERVER
//     std::thread writer([&] { server.writeToSource(samples); });
//
// The pipe source takes what is written as it comes: write at the pace of the sound (a few
// milliseconds at a time) when the capture must not overrun its buffers.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>

class PulseServer {
public:
    struct Options {
        int sourceRateHz = 44100;  // the pipe source's own format
        int sourceChannels = 2;
    };

    // Starts the daemon and waits until it answers (at most about 15 s). On failure
    // isRunning() is false and errorText() says why, with the daemon's own log.
    explicit PulseServer(const Options &options);
    PulseServer();
    ~PulseServer(); // stops the daemon, restores PULSE_SERVER, removes the runtime folder

    PulseServer(const PulseServer &) = delete;
    PulseServer &operator=(const PulseServer &) = delete;

    bool isRunning() const;
    QString errorText() const;

    QString sourceName() const { return QStringLiteral("sonoriel_test_source"); }
    QString sinkName() const { return QStringLiteral("sonoriel_test_sink"); }
    // The descriptions the device list shows; the sink's monitor is described by the server
    // as "Monitor of " followed by the sink's.
    QString sourceDescription() const { return QStringLiteral("Entrée de test Sonoriel"); }
    QString sinkDescription() const { return QStringLiteral("Sortie de test Sonoriel"); }
    QString serverAddress() const; // "unix:<socket path>"

    // Writes interleaved s16le samples into the pipe source, waiting while the FIFO is full;
    // false when the source has not read for two seconds (it stops reading while no stream
    // records from it) or has gone. Safe to call from a thread of the test's own.
    bool writeToSource(std::span<const std::int16_t> samples);

    // Takes the pipe source off the server, as when a capture device is unplugged.
    bool removeSource();

    // Runs pactl against this server; returns its stdout, empty on failure.
    QString pactl(const QStringList &arguments) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
