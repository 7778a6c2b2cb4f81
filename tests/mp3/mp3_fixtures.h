// Test material for the MP3 converter: WAV files laid out byte by byte (including damaged
// ones), tone files, a scoped choice of encoder library, what the reference decoders
// (ffmpeg, lame --decode) make of an MP3 file, and checks of the errors raised.
#pragma once

#include "common/app_error.h"

#include "../support/wave_bytes.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <optional>
#include <vector>

// The fmt payload of a layout: 16 bytes, then `extraBytes` more (an extra-size field and zeros).
QByteArray formatPayload(const WaveLayout &layout, int extraBytes = 0);
bool writeBytes(const QString &path, const QByteArray &bytes);

// A 16-bit stereo sine file made by sox: `leftHz` on the left, `rightHz` on the right.
bool writeToneFile(const QString &path, int rateHz, double seconds, int leftHz, int rightHz);

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

// Decoded sound of an MP3 file: interleaved 16-bit samples at the decoder's rate.
struct DecodedSound {
    int rateHz = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
    qint64 frames() const { return channels ? static_cast<qint64>(samples.size()) / channels : 0; }
};
DecodedSound decodeWithFfmpeg(const QString &mp3Path);
DecodedSound decodeWithLame(const QString &mp3Path, const QString &wavPath);

// The frequency of a steady tone in one channel, from its zero crossings over the middle of the
// sound (away from the encoder's start and end).
double toneFrequencyHz(const DecodedSound &sound, int channel);

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
