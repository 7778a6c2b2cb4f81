// Test material for the MP3 converter: tone files, a scoped choice of encoder library, what
// lame --decode hears in an MP3 file, and the errors raised.
#pragma once

#include "common/app_error.h"

#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

bool writeBytes(const QString &path, const QByteArray &bytes);

// A 16-bit stereo sine file made by sox: `leftHz` on the left, `rightHz` on the right.
bool writeToneFile(const QString &path, int rateHz, double seconds, int leftHz = 440, int rightHz = 1000);

// Sets an environment variable for the life of the object and restores it.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const QString &value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment &) = delete;
    ScopedEnvironment &operator=(const ScopedEnvironment &) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_previous;
};

// The shim built by the project, and the fault-injecting one built for the tests.
QString realShimPath();
QString faultShimPath();

// What lame --decode makes of an MP3 file (written to wavPath): its rate, channels and length
// as sox reads them, and the tone frequency of each channel.
struct Heard {
    MediaInfo info;
    double leftHz = 0;
    double rightHz = 0;
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

// Checks an error's number, and its exact text and the end of its source when given.
void expectError(const AppError &error, int number, const char *text = nullptr, const char *sourceEnd = nullptr);
