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

// A counting signal in stereo: frame k holds the low 16 bits of k on the left and the high 16
// bits on the right, so a frame missing or repeated anywhere shows as a break in the count.
std::vector<std::int16_t> makeCountingSignal(std::uint32_t firstFrame, int frames);

// What a recording of the counting signal that starts at firstCount holds: the frames before
// the count began (silence, or what an earlier writer left in the source), the counted frames
// after them, and the frames (indexes in the recording) where the count does not follow on
// from the frame before.
struct CountingCheck {
    std::size_t leadingFrames = 0;
    std::size_t countedFrames = 0;
    std::uint32_t firstCount = 0;
    std::vector<std::size_t> breaks;
    std::int64_t missingFrames = 0; // over every break: how far the count jumped past the next
};
CountingCheck checkCounting(const std::vector<std::int16_t> &stereo, std::uint32_t firstCount);

// Decodes any file that sox reads into interleaved 16-bit samples at its own rate and channels.
std::vector<std::int16_t> decodeWithSox(const QString &path);

std::uint32_t le32At(const QByteArray &bytes, int offset);
std::uint16_t le16At(const QByteArray &bytes, int offset);
