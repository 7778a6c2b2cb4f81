// What the command-line recording tests share: the program's environment for one test's home
// and sound system, running `sonoriel record`, and the loudest sample of a signal.
#pragma once

#include "../support/tools.h"

#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>

inline QProcessEnvironment environmentFor(const QTemporaryDir &home, const QString &audio, const QString &server = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SONORIEL_HOME", home.path());
    environment.insert("SONORIEL_AUDIO", audio);
    if (!server.isEmpty())
        environment.insert("PULSE_SERVER", server);
    return environment;
}

inline ToolResult record(const QStringList &arguments, const QProcessEnvironment &environment)
{
    return runTool(QStringLiteral(SONORIEL_EXECUTABLE), QStringList{"record"} + arguments, environment);
}

inline int peakOf(std::span<const std::int16_t> samples)
{
    int peak = 0;
    for (std::int16_t s : samples)
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}
