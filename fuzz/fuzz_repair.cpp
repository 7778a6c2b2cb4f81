// Repairs the input in place as `sonoriel repair` does. Whatever the outcome, the sound bytes
// are never touched and the file keeps its length; a file that was not repaired is left byte
// for byte as it was; a repaired one needs no second repair and its data chunk lies inside it.
#include "fuzz_input_file.h"

#include "platform/riff/riff_file.h"
#include "repair/wave_repair.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Names the broken expectation by its line before aborting, so a finding explains itself.
void requireAt(bool condition, int line)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz_repair.cpp:%d: expectation broken\n", line);
    std::abort();
}
#define require(condition) requireAt((condition), __LINE__)

std::vector<std::uint8_t> contents(const QString &path, std::size_t size)
{
    RiffFile file;
    require(file.open(path).ok());
    std::vector<std::uint8_t> bytes(size);
    require(file.read(bytes) == static_cast<std::int64_t>(size));
    std::uint8_t more;
    require(file.read(std::span(&more, 1)) == 0);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString path = fuzzInputFile(data, size);
    const WaveRepairReport report = repairWaveFile(path);
    const std::vector<std::uint8_t> after = contents(path, size);
    if (report.outcome != WaveRepairOutcome::Repaired) {
        require(size == 0 || std::memcmp(after.data(), data, size) == 0);
        return 0;
    }
    // Only the header may change (the RIFF, data and fact sizes; in RF64 the ds64 sizes; a
    // RIFF file that becomes RF64 its form and ds64 chunk: at most 44 bytes), never a byte of
    // sound, and the data chunk the header now gives lies inside the file.
    RiffFile file;
    require(file.open(path).ok());
    require(file.descendRiff("WAVE").has_value());
    const auto chunk = file.descend("data");
    require(chunk.has_value());
    require(chunk->dataOffset + chunk->size <= size);
    std::size_t changed = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (after[i] == data[i])
            continue;
        require(i < chunk->dataOffset || i >= chunk->dataOffset + chunk->size);
        ++changed;
    }
    require(changed <= 44);
    require(repairWaveFile(path).outcome == WaveRepairOutcome::AlreadyRight);
    return 0;
}
