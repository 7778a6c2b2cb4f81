// Side by side in one process: the spectrum's transform as the display runs it (1024 RealIn,
// 513 ComplexOut on clsFourier) against FFTW's 1024-point complex transform, and one whole
// display tick on 5120-sample blocks. Goals: the tick well under 200 us, the transform within
// 4x of FFTW. The ratios are printed after the table.
#include "display/display_tick.h"
#include "display/fourier.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const double kTwoPi = 2 * std::acos(-1.0);

// A stereo block of two tones with a little of each in the other channel.
std::vector<std::int16_t> testBlock(std::size_t count)
{
    std::vector<std::int16_t> block(count);
    for (std::size_t i = 0; i < count; ++i) {
        const double n = static_cast<double>(i / 2);
        const double value = i % 2 == 0 ? 20000 * std::sin(kTwoPi * 440 * n / 44100)
                                        : 12000 * std::sin(kTwoPi * 2500 * n / 44100);
        block[i] = static_cast<std::int16_t>(std::lround(value));
    }
    return block;
}

struct FftwPlan {
    FftwPlan()
        : in(fftw_alloc_complex(1024)), out(fftw_alloc_complex(1024)),
          plan(in && out ? fftw_plan_dft_1d(1024, in, out, FFTW_BACKWARD, FFTW_MEASURE) : nullptr)
    {
    }
    ~FftwPlan()
    {
        if (plan)
            fftw_destroy_plan(plan);
        fftw_free(in);
        fftw_free(out);
    }
    FftwPlan(const FftwPlan &) = delete;
    FftwPlan &operator=(const FftwPlan &) = delete;

    fftw_complex *in;
    fftw_complex *out;
    fftw_plan plan;
};

void BM_ClsFourierAsTheDisplayUsesIt(benchmark::State &state)
{
    const std::vector<std::int16_t> block = testBlock(5120);
    clsFourier fourier;
    fourier.NumberOfSamples(1024);
    fourier.WithTimeWindow(1);
    for (auto _ : state) {
        for (std::int32_t i = 0; i < 1024; ++i)
            fourier.RealIn(i + 1, block[static_cast<std::size_t>(i)]);
        double sum = 0;
        for (std::int32_t i = 0; i < 513; ++i)
            sum += fourier.ComplexOut(i + 1);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_ClsFourierAsTheDisplayUsesIt);

void BM_FftwComplex1024(benchmark::State &state)
{
    FftwPlan fftw;
    if (!fftw.plan) {
        state.SkipWithError("FFTW could not plan the transform");
        return;
    }
    const std::vector<std::int16_t> block = testBlock(5120);
    for (int i = 0; i < 1024; ++i) {
        fftw.in[i][0] = block[static_cast<std::size_t>(i)];
        fftw.in[i][1] = 0;
    }
    for (auto _ : state) {
        fftw_execute(fftw.plan);
        benchmark::DoNotOptimize(fftw.out[1][0]);
    }
}
BENCHMARK(BM_FftwComplex1024);

// FFTW doing the display's whole job: windowing the 1024 inputs and taking 513 magnitudes.
void BM_FftwAsTheDisplayUsesIt(benchmark::State &state)
{
    FftwPlan fftw;
    if (!fftw.plan) {
        state.SkipWithError("FFTW could not plan the transform");
        return;
    }
    const std::vector<std::int16_t> block = testBlock(5120);
    std::vector<double> window(1024);
    for (int i = 0; i < 1024; ++i) {
        const double a = kTwoPi * i / 1023;
        window[static_cast<std::size_t>(i)] = 0.42 - 0.5 * std::cos(a) + 0.08 * std::cos(2 * a);
    }
    for (auto _ : state) {
        for (int i = 0; i < 1024; ++i) {
            fftw.in[i][0] = block[static_cast<std::size_t>(i)] * window[static_cast<std::size_t>(i)];
            fftw.in[i][1] = 0;
        }
        fftw_execute(fftw.plan);
        double sum = 0;
        for (int i = 0; i < 513; ++i)
            sum += std::sqrt(fftw.out[i][0] * fftw.out[i][0] + fftw.out[i][1] * fftw.out[i][1]);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_FftwAsTheDisplayUsesIt);

// One tick while recording: trace, spectrum, two meters, and the size and duration texts of
// a real file on disk, with the main window's box sizes.
void BM_DisplayTick5120Samples(benchmark::State &state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Enregistrement.wav"));
    QFile file(path);
    if (!folder.isValid() || !file.open(QIODevice::WriteOnly) ||
        file.write(QByteArray(3 * 1048576, 'x')) != 3 * 1048576 || !file.flush()) {
        state.SkipWithError("could not write the output file");
        return;
    }

    const std::vector<std::int16_t> block = testBlock(5120);
    clsDraw painter;
    clsSmooth smoothLeft;
    clsSmooth smoothRight;
    smoothLeft.SmoothNew(3);
    smoothRight.SmoothNew(3);
    QImage amplImage(99, 60, QImage::Format_RGB32);
    QImage freqImage(99, 60, QImage::Format_RGB32);
    QImage leftImage(246, 13, QImage::Format_RGB32);
    QImage rightImage(246, 13, QImage::Format_RGB32);
    PictureBox ampl(amplImage, 0);
    PictureBox freq(freqImage, 0);
    PictureBox vuLeft(leftImage, 240 + 256 * 240 + 65536 * 240);
    PictureBox vuRight(rightImage, 240 + 256 * 240 + 65536 * 240);
    DisplayTickTargets targets{painter, smoothLeft, smoothRight, ampl, freq, vuLeft, vuRight};

    DisplayTickInputs inputs;
    inputs.isRecording = true;
    inputs.intLastBlock = block;
    inputs.stereo = true;
    inputs.lngRecordedMs = 65000;
    inputs.txtFile = path;
    for (auto _ : state) {
        StatusPanels panels = runDisplayTick(inputs, targets);
        benchmark::DoNotOptimize(panels);
    }
}
BENCHMARK(BM_DisplayTick5120Samples);

// The console table, then the ratios the goals are stated in.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // Single runs, or the median when repetitions were asked for.
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if ((single || median) && run.iterations > 0) {
                m_realNs[run.run_name.function_name] = run.GetAdjustedRealTime();
                m_cpuNs[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto ratio = [this](const char *a, const char *b) {
            if (!m_realNs.count(a) || !m_realNs.count(b) || m_realNs[b] <= 0 || m_cpuNs[b] <= 0)
                return;
            std::printf("%s / %s: %.2f wall, %.2f CPU\n", a, b, m_realNs[a] / m_realNs[b],
                        m_cpuNs[a] / m_cpuNs[b]);
        };
        ratio("BM_ClsFourierAsTheDisplayUsesIt", "BM_FftwComplex1024");
        ratio("BM_ClsFourierAsTheDisplayUsesIt", "BM_FftwAsTheDisplayUsesIt");
        const char *tick = "BM_DisplayTick5120Samples";
        if (m_realNs.count(tick))
            std::printf("display tick: %.1f us wall, %.1f us CPU (goal: under 200 us)\n",
                        m_realNs[tick] / 1000.0, m_cpuNs[tick] / 1000.0);
    }

private:
    // Per iteration, in the reporter's time unit (ns).
    std::map<std::string, double> m_realNs;
    std::map<std::string, double> m_cpuNs;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
