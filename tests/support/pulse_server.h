// A private PulseAudio daemon for the tests that need a sound server: its own runtime folder,
// a null sink ("sonoriel_test_sink") and a pipe source ("sonoriel_test_source") whose FIFO the
// test writes a known signal into. While it runs, PULSE_SERVER points the process's libpulse
// clients at it. Runs as root in this machine's containers.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <span>

class PulseServer {
public:
    struct Options {
        int sourceRateHz = 44100;
        int sourceChannels = 2;
    };

    // Starts the daemon and waits until it answers. On failure isRunning() is false and
    // errorText() says why.
    explicit PulseServer(const Options &options);
    PulseServer();
    ~PulseServer(); // stops the daemon, restores PULSE_SERVER, removes the runtime folder

    PulseServer(const PulseServer &) = delete;
    PulseServer &operator=(const PulseServer &) = delete;

    bool isRunning() const;
    QString errorText() const;

    QString sourceName() const { return QStringLiteral("sonoriel_test_source"); }
    QString sinkName() const { return QStringLiteral("sonoriel_test_sink"); }
    QString serverAddress() const; // "unix:<socket path>"

    // Writes interleaved s16le samples into the pipe source (blocking until the FIFO took
    // them). Safe to call from a thread of the test's own.
    bool writeToSource(std::span<const std::int16_t> samples);

    // Runs pactl against this server; returns its stdout, empty on failure.
    QString pactl(const QStringList &arguments) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
