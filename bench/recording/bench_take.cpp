// Cost per 10240-byte capture block (44100 Hz stereo, 58 ms of sound) of what a take adds to
// the recording path: the sound trigger waiting for sound (the level test of every frame and
// the pre-recording ring, with 0, 5 and 60 s of ring), the release of a full 60 s ring when
// the sound comes, the silence watch once recording, and the parts writer against the encoder
// alone (one part per second, the worst a user would ask).
#include "recording/encoder_wav.h"
#include "recording/sound_trigger.h"
#include "recording/take_writer.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr std::size_t kBlockSamples = 5120; // 10240 bytes of stereo

std::vector<std::int16_t> quietBlock()
{
    std::vector<std::int16_t> block(kBlockSamples);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::int16_t>(300 * std::sin(static_cast<double>(i) * 0.0713)); // about -40 dBFS
    return block;
}

void BM_TriggerWaiting(benchmark::State &state)
{
    SoundTrigger::Settings settings;
    settings.thresholdDb = -30;
    settings.preRecordFrames = static_cast<std::uint64_t>(state.range(0)) * kRate;
    SoundTrigger trigger(settings, 2);
    const auto block = quietBlock();
    for (auto _ : state)
        benchmark::DoNotOptimize(trigger.feed(block));
    state.SetLabel(std::to_string(state.range(0)) + " s ring");
}
BENCHMARK(BM_TriggerWaiting)->Arg(0)->Arg(5)->Arg(60);

// The block that finds the sound after a full ring: the ring goes out oldest first.
void BM_TriggerFiringAfterFullRing(benchmark::State &state)
{
    SoundTrigger::Settings settings;
    settings.thresholdDb = -30;
    settings.preRecordFrames = 60 * kRate;
    const auto quiet = quietBlock();
    auto loud = quiet;
    loud[kBlockSamples / 2] = 20000;
    for (auto _ : state) {
        state.PauseTiming();
        SoundTrigger trigger(settings, 2);
        for (int k = 0; k < 60 * kRate / 2560 + 1; ++k)
            trigger.feed(quiet);
        // The ring's start is not at its beginning, as after any odd number of blocks.
        trigger.feed(std::span(quiet).first(2 * 1000));
        state.ResumeTiming();
        benchmark::DoNotOptimize(trigger.feed(loud));
    }
}
BENCHMARK(BM_TriggerFiringAfterFullRing)->Unit(benchmark::kMillisecond);

void BM_SilenceWatchWhileRecording(benchmark::State &state)
{
    SoundTrigger::Settings settings;
    settings.thresholdDb = -50;
    settings.silenceFrames = 10 * kRate;
    SoundTrigger trigger(settings, 2);
    const auto block = quietBlock();
    for (auto _ : state)
        benchmark::DoNotOptimize(trigger.feed(block));
}
BENCHMARK(BM_SilenceWatchWhileRecording);

void writeBlocks(benchmark::State &state, bool throughParts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("bench.wav");
    EncoderWAV encoder;
    encoder.SetPCMFormat(kRate, 2);
    const auto block = quietBlock();
    const auto reopen = [&] { return encoder.Encoder_EncoderInit(kRate, 2, TakeWriter::firstFile(path, throughParts)) == 0; };
    if (!reopen()) {
        state.SkipWithError("cannot open the file");
        return;
    }
    auto writer = std::make_unique<TakeWriter>(encoder, path, kRate, 2, throughParts ? std::optional<std::uint64_t>(kRate) : std::nullopt);
    int blocks = 0;
    for (auto _ : state) {
        if (writer->write(block) != TakeWriter::Outcome::Written)
            state.SkipWithError("write failed");
        if (++blocks == 1000) { // about a minute, kept on the disk's cache
            state.PauseTiming();
            writer.reset();
            encoder.Encoder_EncoderClose();
            reopen();
            writer = std::make_unique<TakeWriter>(encoder, path, kRate, 2, throughParts ? std::optional<std::uint64_t>(kRate) : std::nullopt);
            blocks = 0;
            state.ResumeTiming();
        }
    }
    encoder.Encoder_EncoderClose();
    state.SetBytesProcessed(state.iterations() * 10240);
}

void BM_WriteOneFile(benchmark::State &state)
{
    writeBlocks(state, false);
}
BENCHMARK(BM_WriteOneFile);

void BM_WritePartsOfOneSecond(benchmark::State &state)
{
    writeBlocks(state, true);
}
BENCHMARK(BM_WritePartsOfOneSecond);

} // namespace

BENCHMARK_MAIN();
