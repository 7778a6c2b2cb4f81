/* The stream interface of liblameencshim: a Blade-style front for libmp3lame that the MP3
 * converter loads at run time. Records are byte arrays with a fixed little-endian layout
 * (the configuration record is 331 bytes, the version record 265); results are 0 on success
 * or one of the BE_ERR codes below. Stream handles are small numbers, never pointers, and 0
 * is never a valid handle. The samples given to beEncodeChunk are interleaved 16-bit stereo in
 * the machine's byte order, the count naming both channels' samples together. */
#ifndef SONORIEL_LAMEENCSHIM_H
#define SONORIEL_LAMEENCSHIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(SONORIEL_SHIM_BUILD)
#define BE_EXPORT __attribute__((visibility("default")))
#else
#define BE_EXPORT
#endif

#define BE_CONFIG_LAME 256
#define BE_CONFIG_RECORD_BYTES 331
#define BE_VERSION_RECORD_BYTES 265

#define BE_ERR_SUCCESSFUL 0u
#define BE_ERR_INVALID_FORMAT 1u
#define BE_ERR_INVALID_FORMAT_PARAMETERS 2u
#define BE_ERR_NO_MORE_HANDLES 3u
#define BE_ERR_INVALID_HANDLE 4u
#define BE_ERR_BUFFER_TOO_SMALL 5u

/* Opens a stream from the configuration record. On success *chunkSamples is the number of
 * samples (both channels counted, always even) that one beEncodeChunk call takes, and
 * *outputBytes the output buffer size that every call of this stream may fill. */
BE_EXPORT uint32_t beInitStream(const uint8_t *config, uint32_t *chunkSamples, uint32_t *outputBytes,
                      uint32_t *stream);

/* Encodes `samples` samples (an even count, at most the chunk size) into output, which holds
 * the stream's output buffer size; *written is the number of bytes produced. */
BE_EXPORT uint32_t beEncodeChunk(uint32_t stream, uint32_t samples, const int16_t *pcm, uint8_t *output,
                       uint32_t *written);

/* Flushes the samples the encoder still holds into output; *written bytes. */
BE_EXPORT uint32_t beDeinitStream(uint32_t stream, uint8_t *output, uint32_t *written);

/* Releases the stream. */
BE_EXPORT uint32_t beCloseStream(uint32_t stream);

/* Fills the 265-byte version record. */
BE_EXPORT void beVersion(uint8_t *version);

/* After beDeinitStream: the final information frame (the VBR header that carries the frame
 * count, seek table and encoder delay) that replaces the placeholder frame the stream wrote
 * first. *written is 0 when the configuration asked for no VBR header. */
BE_EXPORT uint32_t beInfoTag(uint32_t stream, uint8_t *output, uint32_t capacity, uint32_t *written);

#ifdef __cplusplus
}
#endif

#endif
