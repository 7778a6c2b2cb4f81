// Test material for the MP3 converter.
#pragma once

#include "common/app_error.h"

#include "../support/tools.h"
#include "../support/wave_bytes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

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

// The shim built by the project.
QString realShimPath();

// What lame --decode makes of an MP3 file (written to wavPath), and each channel's tone.
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
