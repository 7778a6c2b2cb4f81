// Tones for the format tests and their measurement after a round trip through a codec: the
// file decoded by ffmpeg, and the signal-to-noise ratio of a tone found by a least-squares fit
// of a sine at the known frequency (so the codec's delay does not matter).
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Interleaved 16-bit samples; channel c carries a sine of hz x (1 + c / 2).
std::vector<std::int16_t> makeTones(double hz, int rateHz, int channels, int frames, double amplitude);

// Decodes a file with ffmpeg into interleaved 16-bit samples at its own rate and channels.
std::vector<std::int16_t> decodeWithFfmpeg(const QString &path);

// What ffprobe says of the first stream.
struct ProbedStream {
    QString codecName;
    int rateHz = 0;
    int channels = 0;
};
ProbedStream probeStream(const QString &path);

struct ToneFit {
    double amplitude = 0; // of the fitted sine
    double snrDb = 0;     // fitted sine's power over the rest's, in dB
};
// Fits a sine of `hz` to one channel over the frames [first, last).
ToneFit fitTone(const std::vector<std::int16_t> &samples, int channels, int channel, int rateHz, double hz,
                std::size_t first, std::size_t last);

std::uint32_t le32At(const QByteArray &bytes, int offset);
std::uint16_t le16At(const QByteArray &bytes, int offset);
