// Cost of converting one capture block (10240 bytes of 44100 Hz stereo, 58 ms of sound) into
// each output format, as the encoder does for every block of a recording. GSM 6.10 records
// 8000 Hz mono only, so its figure includes the resampling down to it.
#include "platform/acm/conversion_stream.h"
#include "platform/acm/output_formats.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>

namespace {

constexpr std::size_t kBlockBytes = 10240;

std::vector<std::uint8_t> toneBlock()
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t frame = 0; frame < kBlockBytes / 4; ++frame)
        for (int c = 0; c < 2; ++c) {
            const double v = 12000 * std::sin(2 * std::numbers::pi * 440 * (1 + c / 2.0) * frame / 44100);
            le::put16(bytes, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
        }
    return bytes;
}

void convertBlocks(benchmark::State &state, const WaveFormat &destination)
{
    auto opened = openConversionStream(WaveFormat::pcm(44100, 2, 16), destination);
    if (!opened) {
        state.SkipWithError(opened.reason().toStdString().c_str());
        return;
    }
    const std::unique_ptr<ConversionStream> stream = std::move(opened).value();
    const std::vector<std::uint8_t> block = toneBlock();
    std::vector<std::uint8_t> out(stream->destinationSize(block.size()));
    std::size_t produced = 0;
    for (auto _ : state) {
        const ConversionResult result = stream->convert(block, out, false);
        if (!result.ok) {
            state.SkipWithError("conversion failed");
            return;
        }
        produced += result.destinationUsed;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["out_bytes_per_block"] =
        benchmark::Counter(static_cast<double>(produced), benchmark::Counter::kAvgIterations);
}

BENCHMARK_CAPTURE(convertBlocks, PcmCopy, WaveFormat::pcm(44100, 2, 16))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, PcmTo22050Mono, WaveFormat::pcm(22050, 1, 16))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, ImaAdpcm, imaAdpcmFormat(44100, 2))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, MsAdpcm, msAdpcmFormat(44100, 2))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, ALaw, g711Format(formattags::kALaw, 44100, 2))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, MuLaw, g711Format(formattags::kMuLaw, 44100, 2))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, Gsm610Via8000Mono, gsm610Format())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, MpegLayer3At128, mpegLayer3Format(44100, 2, 128))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertBlocks, MpegLayer3At320, mpegLayer3Format(44100, 2, 320))->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
