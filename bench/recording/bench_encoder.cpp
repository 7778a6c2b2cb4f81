// Cost of Encoder_Encode per 10240-byte capture block, written to a real file: the identity
// PCM path and 44100 Hz stereo to 22050 Hz mono.
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

void encodeBlocks(benchmark::State &state, const WaveFormat &output)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.wav");
    EncoderWAV encoder;
    encoder.SetFormat(output.toBytes());
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

void BM_EncodeStereo44100ToMono22050(benchmark::State &state)
{
    encodeBlocks(state, WaveFormat::pcm(22050, 1, 16));
}

} // namespace

BENCHMARK(BM_EncodeIdentityPcm)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EncodeStereo44100ToMono22050)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
