// Throughput of the join on two 100 MB WAV files, side by side in one process with the tools a
// user would pick instead: `cat a.wav b.wav` (the copy's physical floor) and `sox a.wav b.wav
// out.wav`, and with the engine's own two copy paths (kernel copy, 1 MiB buffer). Every
// benchmark reports the bytes of the two sources per second; the engine's figures leave out
// the program's start-up, which join_vs_cat_sox.sh measures end to end.
#include "join/join_engine.h"
#include "platform/files/file.h"
#include "platform/files/file_copy.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr std::int32_t kFramesPerSource = 25'000'000; // 100 MB of 16-bit stereo

struct Sources {
    QTemporaryDir folder;
    QString a = folder.filePath("a.wav");
    QString b = folder.filePath("b.wav");
    QString out = folder.filePath("out.wav");
    std::int64_t bytes = 0;

    Sources()
    {
        std::mt19937 noise(1);
        std::vector<std::uint8_t> block(1 << 20);
        for (const QString &path : {a, b}) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly))
                std::abort();
            const auto header = joinedHeaderBytes(2, 16, 44100, kFramesPerSource);
            file.write(reinterpret_cast<const char *>(header.data()), qint64(header.size()));
            for (std::int64_t left = std::int64_t(kFramesPerSource) * 4; left > 0;) {
                for (auto &byte : block)
                    byte = static_cast<std::uint8_t>(noise());
                const qint64 step = std::min<qint64>(left, qint64(block.size()));
                if (file.write(reinterpret_cast<const char *>(block.data()), step) != step)
                    std::abort();
                left -= step;
            }
            bytes += file.size();
        }
    }
};

Sources &sources()
{
    static Sources shared;
    return shared;
}

void removeOutput(benchmark::State &state)
{
    state.PauseTiming();
    QFile::remove(sources().out);
    state.ResumeTiming();
}

void runTool(benchmark::State &state, const QString &program, const QStringList &arguments,
             bool outputToStdout)
{
    QProcess process;
    if (outputToStdout)
        process.setStandardOutputFile(sources().out);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        state.SkipWithError("the tool failed");
}

void BM_SonorielJoin(benchmark::State &state)
{
    Sources &s = sources();
    for (auto _ : state) {
        removeOutput(state);
        std::vector<JoinFileInfo> files(2);
        files[0].fileName = s.a;
        files[1].fileName = s.b;
        ReadWaveHeader(files[0]);
        ReadWaveHeader(files[1]);
        JoinWaveFiles(s.out, files);
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

void copyBench(benchmark::State &state, bool kernelFirst)
{
    Sources &s = sources();
    std::vector<std::uint8_t> buffer(kJoinCopyBufferBytes);
    for (auto _ : state) {
        removeOutput(state);
        Result<File> out = File::create(s.out);
        if (!out) {
            state.SkipWithError("cannot create the output");
            return;
        }
        for (const QString &path : {s.a, s.b}) {
            const Result<File> in = File::openForReading(path);
            if (!in) {
                state.SkipWithError("cannot open a source");
                return;
            }
            const std::uint64_t bytes = std::uint64_t(kFramesPerSource) * 4;
            const Result<CopyEnd> result = kernelFirst ? copyRange(*in, 44, bytes, *out, buffer)
                                                       : copyRangeThroughBuffer(*in, 44, bytes, *out, buffer);
            if (!result || *result != CopyEnd::Done)
                state.SkipWithError("copy failed");
        }
        if (!out->close())
            state.SkipWithError("close failed");
    }
    state.SetBytesProcessed(state.iterations() * s.bytes);
}

void BM_KernelCopyPath(benchmark::State &state) { copyBench(state, true); }
void BM_BufferCopyPath(benchmark::State &state) { copyBench(state, false); }

void BM_Cat(benchmark::State &state)
{
    for (auto _ : state) {
        removeOutput(state);
        runTool(state, "cat", {sources().a, sources().b}, true);
    }
    state.SetBytesProcessed(state.iterations() * sources().bytes);
}

void BM_Sox(benchmark::State &state)
{
    for (auto _ : state) {
        removeOutput(state);
        runTool(state, "sox", {sources().a, sources().b, sources().out}, false);
    }
    state.SetBytesProcessed(state.iterations() * sources().bytes);
}

} // namespace

BENCHMARK(BM_Cat)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SonorielJoin)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_KernelCopyPath)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BufferCopyPath)->Iterations(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Sox)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    sources(); // written before the first measurement
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
