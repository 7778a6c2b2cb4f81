#include "platform/acm/conversion_stream.h"

#include "platform/acm/codec_stream.h"
#include "platform/acm/ffmpeg_log.h"
#include "platform/acm/pcm_stream.h"

Result<std::unique_ptr<ConversionStream>> openConversionStream(const WaveFormat &source, const WaveFormat &destination)
{
    silenceFfmpegLog();
    if (source.isPcm() && destination.isPcm())
        return openPcmStream(source, destination);
    if (source.isPcm() && isCompressedTag(destination.formatTag))
        return openCodecStream(source, destination);
    return Failure{QStringLiteral("Conversion vers le format %1 non disponible.").arg(destination.formatTag)};
}
