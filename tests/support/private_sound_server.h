// What the tests' private sound servers have in common: one temporary runtime folder holding
// every socket, FIFO, configuration and log; the programs of the server, started in order with
// their output in "<name>.log" and stopped in the reverse order; a null sink
// ("sonoriel_test_sink") and a pipe source ("sonoriel_test_source") whose FIFO the test writes
// a known signal into; and, while the server runs, PULSE_SERVER pointing the process's libpulse
// clients at its pulse socket. PulseServer and PipeWireSession say how each server is started.
#pragma once

#include "pipe_source.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

class QProcessEnvironment;

class PrivateSoundServer {
public:
    struct Options {
        int sourceRateHz = 44100; // the pipe source's own format
        int sourceChannels = 2;
    };

    PrivateSoundServer(const PrivateSoundServer &) = delete;
    PrivateSoundServer &operator=(const PrivateSoundServer &) = delete;

    // False until the server has started, and as soon as one of its programs has ended.
    bool isRunning() const;
    // Why the server did not start or has ended, with its programs' own logs; empty otherwise.
    QString errorText() const;

    QString sourceName() const { return QStringLiteral("sonoriel_test_source"); }
    QString sinkName() const { return QStringLiteral("sonoriel_test_sink"); }
    // The descriptions the device list shows; the sink's monitor is described by the server
    // as "Monitor of " followed by the sink's.
    QString sourceDescription() const { return QStringLiteral("Entrée de test Sonoriel"); }
    QString sinkDescription() const { return QStringLiteral("Sortie de test Sonoriel"); }
    QString serverAddress() const; // "unix:<socket path>"

    // Writes interleaved s16le samples into the pipe source, waiting while the FIFO is full;
    // false when the source has not read for two seconds (PulseAudio's stops reading while no
    // stream records from it) or has gone. Safe to call from a thread of the test's own.
    bool writeToSource(std::span<const std::int16_t> samples);

    // Takes the pipe source off the server, as when a capture device is unplugged.
    bool removeSource();

    // Runs pactl against this server; returns its stdout, empty on failure.
    QString pactl(const QStringList &arguments) const;

protected:
    // A check made while the server starts; reply collects what the server answered, for the
    // error when it never holds.
    using Check = std::function<bool(QString &reply)>;

    PrivateSoundServer();
    ~PrivateSoundServer(); // stops the programs, restores PULSE_SERVER, removes the folder

    // Runs start() (which writes the configuration, starts the programs and waits for them),
    // then opens the pipe source's FIFO and points PULSE_SERVER at the server. On failure
    // everything started is stopped again and errorText() says why.
    void launch(const std::function<bool()> &start);

    QString runtimePath(const QString &name) const; // a file in the runtime folder
    QString pulseSocketPath() const; // where the server takes its libpulse clients
    QString fifoPath() const;
    // The null sink's and the pipe source's module arguments, as pactl load-module takes them.
    QString sinkModuleArguments() const;
    QString sourceModuleArguments(const Options &options) const;

    // The system environment without anything that would lead a program to the user's own
    // servers or display, with home, runtime, configuration and state in the runtime folder.
    QProcessEnvironment environment() const;
    // Writes a file of the runtime folder, and the folders it is in.
    bool writeRuntimeFile(const QString &name, const QString &text);
    bool startProgram(const QString &name, const QString &executable, const QStringList &arguments,
                      const QProcessEnvironment &environment);
    // Polls ready every pollMs until it holds; false, with the error set, when a program ends
    // first or timeoutMs pass ("<what> within <timeoutMs> ms").
    bool waitFor(const Check &ready, const QString &what, int timeoutMs, int pollMs);
    // True once pactl lists the pipe source and the null sink's monitor.
    bool listsTestDevices(QString &reply) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
