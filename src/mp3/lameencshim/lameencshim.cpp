// The shim's streams: each open stream is one LAME context behind a small numeric handle, so
// that callers hold a 32-bit value and a stale or foreign handle is refused instead of being
// dereferenced. The table is locked because a library may be called from any thread.
#include "lameencshim.h"

#include "lame_settings.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

constexpr std::size_t kMaxStreams = 64;
constexpr std::uint8_t kInterfaceMajor = 1;
constexpr std::uint8_t kInterfaceMinor = 0;

struct LameCloser {
    void operator()(lame_global_flags *lame) const { lame_close(lame); }
};

struct Stream {
    std::unique_ptr<lame_global_flags, LameCloser> lame;
    std::uint32_t chunkSamples = 0;
    std::uint32_t outputBytes = 0;
    bool flushed = false;
};

struct StreamTable {
    std::mutex lock;
    std::unordered_map<std::uint32_t, std::shared_ptr<Stream>> streams;
    std::uint32_t lastHandle = 0;
};

StreamTable &table()
{
    static StreamTable instance;
    return instance;
}

std::shared_ptr<Stream> findStream(std::uint32_t handle)
{
    StreamTable &t = table();
    std::lock_guard guard(t.lock);
    const auto found = t.streams.find(handle);
    return found == t.streams.end() ? nullptr : found->second;
}

// A handle not in use, never 0; 0 when the table is full.
std::uint32_t addStream(std::shared_ptr<Stream> stream)
{
    StreamTable &t = table();
    std::lock_guard guard(t.lock);
    if (t.streams.size() >= kMaxStreams)
        return 0;
    do
        ++t.lastHandle;
    while (t.lastHandle == 0 || t.streams.count(t.lastHandle));
    t.streams.emplace(t.lastHandle, std::move(stream));
    return t.lastHandle;
}

// The day, month and year this library was built, from the compiler's "Mmm dd yyyy".
void buildDate(int &day, int &month, int &year)
{
    static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char *date = __DATE__;
    month = 1;
    for (int m = 0; m < 12; ++m)
        if (std::memcmp(date, kMonths + 3 * m, 3) == 0)
            month = m + 1;
    day = (date[4] == ' ' ? 0 : date[4] - '0') * 10 + (date[5] - '0');
    year = 0;
    for (int i = 7; i < 11; ++i)
        year = year * 10 + (date[i] - '0');
}

} // namespace

extern "C" {

uint32_t beInitStream(const uint8_t *config, uint32_t *chunkSamples, uint32_t *outputBytes,
                      uint32_t *stream)
{
    if (!config || !chunkSamples || !outputBytes || !stream)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *chunkSamples = 0;
    *outputBytes = 0;
    *stream = 0;

    auto entry = std::make_shared<Stream>();
    entry->lame.reset(lame_init());
    if (!entry->lame)
        return BE_ERR_NO_MORE_HANDLES;
    const std::uint32_t result = shim::applyConfig(
        entry->lame.get(), readLameConfigRecord(std::span<const std::uint8_t, kLameConfigRecordBytes>(config, kLameConfigRecordBytes)));
    if (result != BE_ERR_SUCCESSFUL)
        return result;

    // One chunk is one output frame's worth of input frames; the buffer holds the most LAME can
    // emit for it (1.25 x samples + 7200 bytes, counting samples at the output rate when the
    // stream resamples upward), which also covers the flush and the information frame.
    lame_t lame = entry->lame.get();
    const std::uint32_t frameSamples = static_cast<std::uint32_t>(lame_get_framesize(lame));
    const double upsampling =
        std::max(1.0, static_cast<double>(lame_get_out_samplerate(lame)) / lame_get_in_samplerate(lame));
    entry->chunkSamples = frameSamples * 2;
    entry->outputBytes =
        static_cast<std::uint32_t>(std::ceil(1.25 * frameSamples * upsampling)) + 7200;

    const std::uint32_t handle = addStream(entry);
    if (handle == 0)
        return BE_ERR_NO_MORE_HANDLES;
    *chunkSamples = entry->chunkSamples;
    *outputBytes = entry->outputBytes;
    *stream = handle;
    return BE_ERR_SUCCESSFUL;
}

uint32_t beEncodeChunk(uint32_t stream, uint32_t samples, const int16_t *pcm, uint8_t *output,
                       uint32_t *written)
{
    if (written)
        *written = 0;
    const std::shared_ptr<Stream> entry = findStream(stream);
    if (!entry || entry->flushed)
        return BE_ERR_INVALID_HANDLE;
    if (!written || !output || (samples > 0 && !pcm) || samples % 2 != 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (samples > entry->chunkSamples)
        return BE_ERR_BUFFER_TOO_SMALL;
    if (samples == 0)
        return BE_ERR_SUCCESSFUL;
    const int bytes = lame_encode_buffer_interleaved(
        entry->lame.get(), const_cast<short *>(pcm), static_cast<int>(samples / 2), output,
        static_cast<int>(entry->outputBytes));
    if (bytes == -1)
        return BE_ERR_BUFFER_TOO_SMALL;
    if (bytes < 0)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    *written = static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

uint32_t beDeinitStream(uint32_t stream, uint8_t *output, uint32_t *written)
{
    if (written)
        *written = 0;
    const std::shared_ptr<Stream> entry = findStream(stream);
    if (!entry || entry->flushed)
        return BE_ERR_INVALID_HANDLE;
    if (!output || !written)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    const int bytes =
        lame_encode_flush(entry->lame.get(), output, static_cast<int>(entry->outputBytes));
    if (bytes < 0)
        return BE_ERR_BUFFER_TOO_SMALL;
    entry->flushed = true;
    *written = static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

uint32_t beCloseStream(uint32_t stream)
{
    StreamTable &t = table();
    std::shared_ptr<Stream> entry;
    {
        std::lock_guard guard(t.lock);
        const auto found = t.streams.find(stream);
        if (found == t.streams.end())
            return BE_ERR_INVALID_HANDLE;
        entry = std::move(found->second);
        t.streams.erase(found);
    }
    return BE_ERR_SUCCESSFUL; // the LAME context goes with the last reference
}

uint32_t beInfoTag(uint32_t stream, uint8_t *output, uint32_t capacity, uint32_t *written)
{
    if (written)
        *written = 0;
    const std::shared_ptr<Stream> entry = findStream(stream);
    if (!entry)
        return BE_ERR_INVALID_HANDLE;
    if (!output || !written)
        return BE_ERR_INVALID_FORMAT_PARAMETERS;
    if (!entry->flushed)
        return BE_ERR_INVALID_HANDLE; // the frame is only final once the stream is flushed
    const std::size_t bytes = lame_get_lametag_frame(entry->lame.get(), output, capacity);
    if (bytes > capacity)
        return BE_ERR_BUFFER_TOO_SMALL;
    *written = static_cast<uint32_t>(bytes);
    return BE_ERR_SUCCESSFUL;
}

void beVersion(uint8_t *version)
{
    if (!version)
        return;
    std::memset(version, 0, BE_VERSION_RECORD_BYTES);
    lame_version_t engine{};
    get_lame_version_numerical(&engine);
    int day = 0, month = 0, year = 0;
    buildDate(day, month, year);

    version[0] = kInterfaceMajor;
    version[1] = kInterfaceMinor;
    version[2] = static_cast<uint8_t>(engine.major);
    version[3] = static_cast<uint8_t>(engine.minor);
    version[4] = static_cast<uint8_t>(day);
    version[5] = static_cast<uint8_t>(month);
    version[6] = static_cast<uint8_t>(year & 0xFF);
    version[7] = static_cast<uint8_t>((year >> 8) & 0xFF);
    const char *url = get_lame_url();
    if (url)
        std::strncpy(reinterpret_cast<char *>(version + 8), url, 128); // byte 136 stays 0
    version[137] = static_cast<uint8_t>(engine.alpha);
    version[138] = static_cast<uint8_t>(engine.beta);
#if defined(__x86_64__) || defined(__i386__)
    version[139] = __builtin_cpu_supports("mmx") ? 1 : 0;
#endif
}

} // extern "C"
