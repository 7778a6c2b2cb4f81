#include "platform/acm/conversion_stream.h"

#include "platform/acm/codec_stream.h"
#include "platform/acm/ffmpeg_log.h"
#include "platform/acm/pcm_stream.h"

std::unique_ptr<ConversionStream> openConversionStream(const WaveFormat &source,
                                                       const WaveFormat &destination,
                                                       QString *error)
{
    silenceFfmpegLog();
    if (source.isPcm() && destination.isPcm())
        return openPcmStream(source, destination, error);
    if (source.isPcm() && isCompressedTag(destination.formatTag))
        return openCodecStream(source, destination, error);
    if (error)
        *error = QStringLiteral("Conversion vers le format %1 non disponible.")
                     .arg(destination.formatTag);
    return nullptr;
}
