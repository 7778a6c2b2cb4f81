// The conversion stream of the output encoder: converts 16-bit PCM capture blocks into the
// chosen output format in whole blocks, reports the source bytes it used and the destination
// bytes it produced, and gives up what it still holds when flushed at the end.
#pragma once

#include "common/result.h"
#include "common/wave_format.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

struct ConversionResult {
    bool ok = false;
    std::size_t sourceUsed = 0;      // bytes of the source taken (whole source blocks)
    std::size_t destinationUsed = 0; // bytes written at the start of the destination
};

class ConversionStream {
public:
    virtual ~ConversionStream() = default;

    // The destination capacity that one call with sourceBytes of source always fits in,
    // including what the converter holds back from earlier calls.
    virtual std::size_t destinationSize(std::size_t sourceBytes) const = 0;

    // Converts the whole source blocks of `source`. With `end` true (source then usually
    // empty) the converter also gives up what it still holds. Fails, consuming nothing, when
    // the destination is smaller than destinationSize(source.size()).
    virtual ConversionResult convert(std::span<const std::uint8_t> source,
                                     std::span<std::uint8_t> destination, bool end) = 0;
};

// Fails when no conversion from `source` to `destination` exists.
Result<std::unique_ptr<ConversionStream>> openConversionStream(const WaveFormat &source, const WaveFormat &destination);
