// Cost of Encoder_Encode per 10240-byte capture block, written to a real file: the identity
// PCM path and 44100 Hz stereo to 22050 Hz mono; and what keeping the header up to date costs:
// the identity path with and without a header (a headerless file gets no header updates), and
// one in-place header write on a 40 MB file, of which a recording makes one per second of sound.
#include "platform/files/file.h"
#include "recording/encoder_wav.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

std::vector<std::int16_t> toneBlock()
{
    std::vector<std::int16_t> block(5120);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>(12000 * std::sin(i * 0.0713));
    return block;
}

void encodeBlocks(benchmark::State &state, const WaveFormat &output, bool header = true)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.wav");
    EncoderWAV encoder;
    encoder.SetFormat(output.toBytes());
    encoder.setWriteHeader(header);
    const auto block = toneBlock();
    int sinceInit = 0;
    encoder.Encoder_EncoderInit(44100, 2, path);
    for (auto _ : state) {
        std::int32_t used = 0;
        if (encoder.Encoder_Encode(block.data(), 10240, used) != 0)
            state.SkipWithError("encode failed");
        if (++sinceInit == 4000) { // keep the file at 40 MB
            state.PauseTiming();
            encoder.Encoder_EncoderInit(44100, 2, path);
            sinceInit = 0;
            state.ResumeTiming();
        }
    }
    encoder.Encoder_EncoderClose();
    state.SetBytesProcessed(state.iterations() * 10240);
}

void BM_EncodeIdentityPcm(benchmark::State &state)
{
    encodeBlocks(state, WaveFormat::pcm(44100, 2, 16));
}

void BM_EncodeIdentityPcmHeaderless(benchmark::State &state)
{
    encodeBlocks(state, WaveFormat::pcm(44100, 2, 16), false);
}

void BM_EncodeStereo44100ToMono22050(benchmark::State &state)
{
    encodeBlocks(state, WaveFormat::pcm(22050, 1, 16));
}

// One header update as the encoder makes it each second of sound: 46 bytes over the start of
// a 40 MB file, the end of the file left where it is.
void BM_HeaderUpdateInPlace(benchmark::State &state)
{
    QTemporaryDir dir;
    Result<File> file = File::create(dir.filePath("bench.wav"));
    if (!file) {
        state.SkipWithError("cannot create the file");
        return;
    }
    const std::vector<std::uint8_t> chunk(1 << 20, 0x55);
    for (int i = 0; i < 40; ++i) {
        if (!file->write(chunk)) {
            state.SkipWithError("write failed");
            return;
        }
    }
    std::vector<std::uint8_t> header(46, 0);
    std::uint32_t size = 0;
    for (auto _ : state) {
        header[42] = static_cast<std::uint8_t>(++size);
        if (!file->writeAt(0, header))
            state.SkipWithError("write failed");
    }
    // Microseconds per update, which with one update per second of sound is also the share of
    // each second spent on it, in parts per million.
    state.counters["ppm_of_sound"] = benchmark::Counter(static_cast<double>(state.iterations()) / 1e6,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_EncodeIdentityPcm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeIdentityPcmHeaderless)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeStereo44100ToMono22050)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HeaderUpdateInPlace)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
