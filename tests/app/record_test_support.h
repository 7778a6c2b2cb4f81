// What the command-line tests share: the program's environment for one test's home and sound
// system, and running `sonoriel`.
#pragma once

#include "../support/tools.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

inline QProcessEnvironment environmentFor(const QTemporaryDir &home, const QString &audio, const QString &server = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_HOME", home.path());
    environment.insert("SONORIEL_AUDIO", audio);
    if (!server.isEmpty())
        environment.insert("PULSE_SERVER", server);
    return environment;
}

// The virtual device at speed ("0": at once) reading input, or its 440/880 Hz signal without.
inline QProcessEnvironment virtualEnvironment(const QTemporaryDir &home, const QString &speed = "0", const QString &input = {})
{
    QProcessEnvironment environment = environmentFor(home, "virtual");
    environment.insert("SONORIEL_VIRTUAL_SPEED", speed);
    input.isEmpty() ? environment.remove("SONORIEL_VIRTUAL_INPUT") : environment.insert("SONORIEL_VIRTUAL_INPUT", input);
    return environment;
}

inline ToolResult sonoriel(const QStringList &arguments, const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), arguments, environment);
}

inline ToolResult record(const QStringList &arguments, const QProcessEnvironment &environment)
{
    return sonoriel(QStringList{"record"} + arguments, environment);
}
