// Reads a raw 16-bit little-endian stereo file at 44100 Hz, runs clsDSP::ProcessSamples over
// it in 10240-byte blocks with every effect on, and prints the throughput and the time per
// block, in wall-clock time and in the CPU time of the process (which a busy machine inflates
// less). Only ProcessSamples is timed; reading is done before. With a second argument the
// processed values are written there (raw), for a listen or a look with sox.
//
//   bench_effects_file in.raw [out.raw]
//
// SONORIEL_BENCH_EFFECTS=<bits of EffectsUsed> times another combination (default 15, all).
#include "effects/cls_dsp.h"
#include "effects_setup.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

namespace {

constexpr std::size_t kBlockValues = 10240 / 2;

bool readRaw(const char *path, std::vector<std::int16_t> &values)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return false;
    const std::streamoff size = in.tellg();
    if (size < 0)
        return false;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char *>(bytes.data()), size))
        return false;
    values.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return true;
}

bool writeRaw(const char *path, const std::vector<std::int16_t> &values)
{
    std::ofstream out(path, std::ios::binary);
    for (std::int16_t v : values) {
        const auto u = static_cast<std::uint16_t>(v);
        out.put(static_cast<char>(u & 0xff));
        out.put(static_cast<char>(u >> 8));
    }
    out.flush();
    return static_cast<bool>(out);
}

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    if (clock_gettime(clock, &ts) != 0)
        return 0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s in.raw [out.raw]\n", argv[0]);
        return 2;
    }
    std::vector<std::int16_t> values;
    if (!readRaw(argv[1], values) || values.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }

    int effects = clsDSP::kEcho | clsDSP::kPhaseShift | clsDSP::kAmplifier | clsDSP::kEqualizer;
    if (const char *chosen = std::getenv("SONORIEL_BENCH_EFFECTS"))
        effects = std::atoi(chosen);
    clsDSP dsp;
    setUpForBenchmark(dsp, effects);

    using Clock = std::chrono::steady_clock;
    std::vector<double> blockMicros, blockCpuMicros;
    blockMicros.reserve(values.size() / kBlockValues + 1);
    blockCpuMicros.reserve(values.size() / kBlockValues + 1);
    const double cpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const Clock::time_point start = Clock::now();
    for (std::size_t at = 0; at < values.size(); at += kBlockValues) {
        const std::size_t n = std::min(kBlockValues, values.size() - at);
        const double c0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const Clock::time_point t0 = Clock::now();
        dsp.ProcessSamples(std::span<std::int16_t>(values.data() + at, n));
        blockMicros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        blockCpuMicros.push_back((cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - c0) * 1e6);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;

    std::vector<double> sorted = blockMicros;
    std::sort(sorted.begin(), sorted.end());
    double total = 0;
    for (double us : blockMicros)
        total += us;
    const double count = static_cast<double>(values.size());
    std::printf("values %zu blocks %zu effects %d\n", values.size(), blockMicros.size(), effects);
    std::printf("seconds %.4f\n", seconds);
    std::printf("cpu_seconds %.4f\n", cpu);
    std::printf("values_per_second %.0f\n", count / seconds);
    std::printf("values_per_cpu_second %.0f\n", count / cpu);
    std::printf("block_us_mean %.2f\n", total / static_cast<double>(blockMicros.size()));
    std::printf("block_us_median %.2f\n", sorted[sorted.size() / 2]);
    std::printf("block_us_p99 %.2f\n", sorted[sorted.size() * 99 / 100]);
    std::printf("block_us_max %.2f\n", sorted.back());
    std::printf("block_cpu_us_median %.2f\n", median(blockCpuMicros));

    if (argc > 2 && !writeRaw(argv[2], values)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
