// What the virtual device "hears": a 16-bit PCM WAV file converted to the capture format, then
// silence; or, without a file, a steady test signal (440 Hz on the left or mono channel,
// 880 Hz on the right, half of full scale).
#pragma once

#include "common/result.h"
#include "common/wave_format.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <span>

class SampleSource {
public:
    virtual ~SampleSource() = default;
    // Fills all of `samples` (interleaved, whole frames of the capture format).
    virtual void fill(std::span<std::int16_t> samples) = 0;
};

std::unique_ptr<SampleSource> makeTestSignal(const WaveFormat &captureFormat);

// Fails when the file cannot be read as 16-bit PCM WAV or converted.
Result<std::unique_ptr<SampleSource>> makeWavFileSource(const QString &path, const WaveFormat &captureFormat);
