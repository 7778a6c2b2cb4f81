// PCM to PCM conversion (rate, channels, 8/16/24/32-bit integer and 32-bit float) over
// libswresample; equal formats are copied unchanged.
#pragma once

#include "platform/acm/conversion_stream.h"

struct SwrContext;

// The formats it takes: tag 1 with 8, 16, 24 or 32 bits, tag 3 with 32 bits; 1 or 2 channels.
bool isSupportedPcm(const WaveFormat &format);

Result<std::unique_ptr<ConversionStream>> openPcmStream(const WaveFormat &source, const WaveFormat &destination);

// Before swr_init: channels are copied, not mixed as loudspeakers would be: mono goes unchanged
// into both channels, stereo becomes the mean of its two. False when the resampler refuses.
bool setCopyingChannelMatrix(SwrContext *context, int inChannels, int outChannels);
