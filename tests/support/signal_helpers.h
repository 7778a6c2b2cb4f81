// Test signals and their measurement: tones written as 16-bit PCM, WAV files made by hand, and
// the frequency of a tone found by counting its rising zero crossings.
#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// Interleaved 16-bit samples of a sine (the same on every channel).
std::vector<std::int16_t> makeTone(double hz, int rateHz, int channels, int frames, double amplitude = 16000);

// A canonical 44-byte-header 16-bit PCM WAV file.
bool writePcmWav(const QString &path, int rateHz, int channels, const std::vector<std::int16_t> &samples);

// Frequency of the tone in one channel of interleaved samples, from its rising zero crossings.
double measureFrequency(const std::vector<std::int16_t> &samples, int channels, int rateHz);

// Decodes any file that sox reads into interleaved 16-bit samples at its own rate and channels.
std::vector<std::int16_t> decodeWithSox(const QString &path);

std::uint32_t le32At(const QByteArray &bytes, int offset);
std::uint16_t le16At(const QByteArray &bytes, int offset);
