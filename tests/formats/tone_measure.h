// Tones for the format tests and their measurement after a round trip through a codec: decoded
// by ffmpeg, fitted by least squares to a sine of the known frequency (whatever the codec delay).
#pragma once

#include "common/wave_format.h"

#include "../support/signal_helpers.h"

#include "../support/tools.h"

#include <cstdint>
#include <vector>

// 16-bit little-endian samples; channel c carries a sine of 440 x (1 + c / 2) Hz at 12000.
std::vector<std::uint8_t> toneBytes(int rateHz, int channels, int frames);

// Records `frames` of the tone through the WAV encoder set to `format`, in blocks of `blockBytes`,
// the tone made at sourceRateHz (0: the format's own rate).
void recordTone(const WaveFormat &format, const QString &path, int frames, std::size_t blockBytes = 10240,
                int sourceRateHz = 0);

// The file decoded by ffmpeg into interleaved 16-bit samples; none when ffmpeg fails.
std::vector<std::int16_t> decodeWithFfmpeg(const QString &path);

struct ToneFit {
    double amplitude = 0; // of the fitted sine
    double snrDb = 0;     // fitted sine's power over the rest's, in dB
};
// Fits a sine of `hz` to one channel over the frames [first, last).
ToneFit fitTone(const std::vector<std::int16_t> &samples, int channels, int channel, int rateHz, double hz,
                std::size_t first, std::size_t last);
