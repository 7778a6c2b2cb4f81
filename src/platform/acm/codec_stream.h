// Conversion of 16-bit PCM into a compressed WAV format (IMA and Microsoft ADPCM, CCITT A-law
// and u-law, GSM 6.10, MPEG Layer-3) over libswresample and libavcodec.
#pragma once

#include "platform/acm/conversion_stream.h"

// True for the tags this stream writes.
bool isCompressedTag(std::uint16_t formatTag);

// Fails when `destination` is not a record this stream produces exactly (the layouts of
// output_formats.h) or when its codec cannot be opened.
Result<std::unique_ptr<ConversionStream>> openCodecStream(const WaveFormat &source, const WaveFormat &destination);
