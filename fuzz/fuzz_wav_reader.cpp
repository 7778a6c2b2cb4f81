// Opens the input as the MP3 converter's source and reads it through, with a small read size
// so that several blocks come out, then seeks inside it. A refusal must be one of the reader's
// own errors and leave it closed; a read must never deliver more than the data it measured.
#include "fuzz_input_file.h"

#include "common/app_error.h"
#include "mp3/wav_reader.h"

#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void readThrough(cWavReader &reader)
{
    const std::int64_t length = reader.AudioLength();
    std::int64_t frames = 0;
    for (int block = 0;; ++block) {
        require(block <= length / reader.ReadBufferSize() + 1);
        const bool more = reader.Read();
        const std::int16_t *samples = reader.ReadBufferPtr();
        require(samples != nullptr);
        volatile std::int32_t sum = 0;
        for (std::int32_t i = 0; i < reader.ReadSize() * 2; ++i)
            sum = sum + samples[i];
        if (!more)
            break;
        frames += reader.ReadSize();
    }
    require(frames <= length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzInputFile(data, size);
    cWavReader reader;
    reader.setReadBufferSize(64);
    try {
        if (!reader.OpenFile(path))
            std::abort();
    } catch (const AppError &error) {
        require(error.number() > 29670 && error.number() <= 29679);
        require(!reader.isOpen());
        return 0;
    }
    require(static_cast<std::size_t>(reader.AudioLength()) * 4 <= size);
    try {
        readThrough(reader);
        reader.SeekAbsolute(reader.AudioLength() / 2);
        reader.SeekRelative(-reader.AudioLength() / 4);
        readThrough(reader);
    } catch (const AppError &error) {
        require(error.number() > 29670 && error.number() <= 29679);
    }
    return 0;
}
