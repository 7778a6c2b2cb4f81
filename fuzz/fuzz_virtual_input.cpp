// Opens the input as the virtual device's input file, in the largest and the smallest capture
// format the recorder offers, and captures a few blocks from it. A refusal must say why.
#include "fuzz_input_file.h"

#include "platform/audio/virtual/sample_source.h"

#include <cstdlib>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void capture(const QString &path, const WaveFormat &capture)
{
    QString error;
    auto source = valueOr(makeWavFileSource(path, capture), error);
    if (!source) {
        require(!error.isEmpty());
        return;
    }
    // Blocks of the device's size (10240 bytes), enough of them for a small file's data to
    // run out and the silence behind it to begin.
    std::vector<std::int16_t> block(5120, 1);
    for (int i = 0; i < 8; ++i)
        source->fill(block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The largest and the smallest capture format the recorder offers.
    const QString path = fuzzInputFile(data, size);
    capture(path, WaveFormat::pcm(44100, 2, 16));
    capture(path, WaveFormat::pcm(8000, 1, 16));
    return 0;
}
