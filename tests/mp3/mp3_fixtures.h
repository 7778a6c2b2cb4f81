// Test material for the MP3 converter (the MP3 window's tests use it too).
#pragma once

#include "common/app_error.h"

#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include <gtest/gtest.h>

#include <optional>

// A 16-bit stereo sine file made by sox: 440 Hz on the left, 1000 Hz on the right.
bool writeToneFile(const QString &path, int rateHz, double seconds);

// Sets an environment variable for the life of the object and restores it.
struct ScopedEnvironment {
    ScopedEnvironment(const char *name, const QString &value)
        : m_name(name), m_previous(qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt)
    {
        qputenv(name, value.toLocal8Bit());
    }
    ~ScopedEnvironment() { m_previous ? qputenv(m_name, *m_previous) : qunsetenv(m_name); }
    const char *m_name;
    std::optional<QByteArray> m_previous;
};

// The shim built by the project.
inline QString realShimPath() { return QStringLiteral(SONORIEL_LAME_SHIM_PATH); }

// What lame --decode makes of an MP3 file (written to wavPath), and each channel's tone.
struct Heard {
    MediaInfo info;
    double leftHz = 0, rightHz = 0;
};
Heard hearWithLame(const QString &mp3Path, const QString &wavPath);

// ffprobe's stream bit rate in bit/s.
int ffprobeBitRate(const QString &path);

// The error f raises; number 0 when it raises none.
template <typename F>
AppError raisedBy(F &&f)
{
    try {
        f();
    } catch (const AppError &error) {
        return error;
    }
    return AppError(0, {}, {});
}
