// Walks whatever RIFF structure the input has the way the WAV readers do: the WAVE form, its
// "fmt " and "data" chunks, a LIST chunk and its subchunks, reads and seeks inside them.
// A chunk found must start where the reader stands, and no read may return more than asked.
#include "fuzz_input_file.h"

#include "platform/riff/riff_file.h"

#include <array>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void readSome(RiffFile &file, const RiffChunk &chunk)
{
    std::array<std::uint8_t, 256> bytes{};
    const std::size_t wanted = std::min<std::size_t>(chunk.size, bytes.size());
    const std::int64_t got = file.read(std::span(bytes.data(), wanted));
    require(got >= -1 && got <= static_cast<std::int64_t>(wanted));
}

void walk(RiffFile &file, const RiffChunk &riff)
{
    const std::int64_t first = file.position();
    for (const char *id : {"fmt ", "data", "LIST", "fact"}) {
        require(file.seek(first, RiffFile::Origin::Begin) == first);
        char name[5] = {id[0], id[1], id[2], id[3], 0};
        const auto chunk = file.descend(name, &riff);
        if (!chunk)
            continue;
        require(chunk->is(name));
        require(file.position() == static_cast<std::int64_t>(chunk->dataOffset));
        require(chunk->end() >= chunk->dataOffset + chunk->size);
        if (chunk->is("LIST")) {
            std::uint8_t type[4];
            if (file.read(type) == 4) {
                if (auto inner = file.descend("INFO", &*chunk))
                    readSome(file, *inner);
            }
        } else {
            readSome(file, *chunk);
        }
        require(file.ascend(*chunk) || chunk->end() > static_cast<std::uint64_t>(INT64_MAX));
    }
    // Search the whole file too, as readers that do not trust the RIFF size do.
    require(file.seek(first, RiffFile::Origin::Begin) == first);
    if (auto data = file.descend("data"))
        readSome(file, *data);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzInputFile(data, size);
    RiffFile file;
    require(file.open(path).ok());
    require(file.size() == static_cast<std::int64_t>(size));
    if (const auto riff = file.descendRiff("WAVE"))
        walk(file, *riff);
    require(file.seek(0, RiffFile::Origin::End) == static_cast<std::int64_t>(size));
    return 0;
}
