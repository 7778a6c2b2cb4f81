// Tones for the format tests and their measurement after a round trip through a codec: the
// file decoded by ffmpeg, and the signal-to-noise ratio of a tone found by a least-squares fit
// of a sine at the known frequency (so the codec's delay does not matter).
#pragma once

#include "common/wave_format.h"

#include "../support/signal_helpers.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// Interleaved 16-bit samples; channel c carries a sine of hz x (1 + c / 2).
std::vector<std::int16_t> makeTones(double hz, int rateHz, int channels, int frames, double amplitude);
// The same tone of 440 Hz at 12000 as little-endian bytes.
std::vector<std::uint8_t> toneBytes(int rateHz, int channels, int frames);

// Records `frames` of the 440 Hz tone through the WAV encoder set to `format`, in capture
// blocks of `blockBytes` (the last one shorter), each taken whole.
void recordTone(const WaveFormat &format, const QString &path, int frames, std::size_t blockBytes = 10240);

// Decodes a file with ffmpeg into interleaved 16-bit samples at its own rate and channels.
std::vector<std::int16_t> decodeWithFfmpeg(const QString &path);

// The codec ffprobe names for the first audio stream.
QString ffprobeCodec(const QString &path);

struct ToneFit {
    double amplitude = 0; // of the fitted sine
    double snrDb = 0;     // fitted sine's power over the rest's, in dB
};
// Fits a sine of `hz` to one channel over the frames [first, last).
ToneFit fitTone(const std::vector<std::int16_t> &samples, int channels, int channel, int rateHz, double hz,
                std::size_t first, std::size_t last);
