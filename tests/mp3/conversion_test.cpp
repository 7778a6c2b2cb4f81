// Whole conversions through cLameEncoder with the real library: what the reference decoders
// hear in the MP3 files, the progress events, cancelling, and every failure path closing the
// library stream. A fault-injecting stand-in library (forwarding to the real one) counts the
// streams and answers chosen calls with chosen results.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include "../support/tools.h"
#include "common/app_error.h"
#include "platform/library/shared_library.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Event {
    std::int32_t done;
    std::int32_t total;
};

// The controls of the stand-in library, reached through the copy the encoder loads.
class FaultShim {
public:
    FaultShim()
    {
        EXPECT_TRUE(m_library.open(faultShimPath())) << m_library.errorText().toStdString();
        reset = get<void (*)()>("faultShimReset");
        failEncodeAt = get<void (*)(std::uint32_t, std::uint32_t)>("faultShimFailEncodeAt");
        failInitWith = get<void (*)(std::uint32_t)>("faultShimFailInitWith");
        reportNoHandle = get<void (*)()>("faultShimReportNoHandle");
        openStreams = get<int (*)()>("faultShimOpenStreams");
        encodeCalls = get<std::uint32_t (*)()>("faultShimEncodeCalls");
        encodeSamples = get<std::uint32_t (*)(std::uint32_t)>("faultShimEncodeSamples");
        closeCalls = get<std::uint32_t (*)()>("faultShimCloseCalls");
        reset();
    }

    void (*reset)() = nullptr;
    void (*failEncodeAt)(std::uint32_t, std::uint32_t) = nullptr;
    void (*failInitWith)(std::uint32_t) = nullptr;
    void (*reportNoHandle)() = nullptr;
    int (*openStreams)() = nullptr;
    std::uint32_t (*encodeCalls)() = nullptr;
    std::uint32_t (*encodeSamples)(std::uint32_t) = nullptr;
    std::uint32_t (*closeCalls)() = nullptr;

private:
    template <typename F>
    F get(const char *name)
    {
        auto f = reinterpret_cast<F>(m_library.symbol(name));
        if (!f)
            ADD_FAILURE() << name << ": " << m_library.errorText().toStdString();
        return f;
    }
    SharedLibrary m_library;
};

class Conversion : public ::testing::Test {
protected:
    void useFaultShim()
    {
        m_env.reset(); // restore first, so that the new choice is not undone
        m_env = std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", faultShimPath());
    }

    // A conversion set up from source to out.mp3, recording its events.
    void prepare(const QString &source, std::int32_t preset = 6)
    {
        encoder.setEncodingPreset(preset);
        encoder.setWavFile(source);
        encoder.setMp3File(mp3());
        encoder.setProgressHandler([this](std::int32_t done, std::int32_t total, bool &cancel) {
            events.push_back({done, total});
            if (cancelAfter > 0 && static_cast<int>(events.size()) >= cancelAfter)
                cancel = true;
        });
    }
    QString source(const QByteArray &bytes)
    {
        EXPECT_TRUE(writeBytes(folder.path("source.wav"), bytes));
        return folder.path("source.wav");
    }
    QString mp3() const { return folder.path("out.mp3"); }

    // The error Encode raises; number 0 when it raises none.
    AppError encodeError()
    {
        try {
            encoder.Encode();
        } catch (const AppError &error) {
            return error;
        }
        return AppError(0, {}, {});
    }

    TestFolder folder;
    std::unique_ptr<ScopedEnvironment> m_env =
        std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", realShimPath());
    cLameEncoder encoder;
    std::vector<Event> events;
    int cancelAfter = 0;
};

// The 4-byte tag of the first frame's side data: "Xing" for VBR, "Info" for CBR.
QByteArray firstFrameTag(const QString &path)
{
    const QByteArray bytes = readFileBytes(path).left(200);
    for (const char *tag : {"Xing", "Info"})
        if (bytes.contains(tag))
            return QByteArray(tag);
    return {};
}

} // namespace

// ---- What the decoders hear ----------------------------------------------------------------

struct RealCase {
    int rateHz;
    std::int32_t preset;
    const char *name;
};

class RealConversion : public Conversion, public ::testing::WithParamInterface<RealCase> {};

TEST_P(RealConversion, DecodesToTheSourcesDurationAndTonesWithBothDecoders)
{
    const RealCase c = GetParam();
    ASSERT_TRUE(haveTool("sox") && haveTool("ffmpeg") && haveTool("lame"));
    const double seconds = 3.0;
    ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), c.rateHz, seconds, 440, 1000));
    prepare(folder.path("tone.wav"), c.preset);
    encoder.Encode();
    EXPECT_EQ(encoder.samplerate(), c.rateHz);

    const DecodedSound byFfmpeg = decodeWithFfmpeg(mp3());
    const DecodedSound byLame = decodeWithLame(mp3(), folder.path("lame.wav"));
    for (const DecodedSound *sound : {&byFfmpeg, &byLame}) {
        ASSERT_GT(sound->rateHz, 0);
        EXPECT_EQ(sound->channels, 2);
        const double frameSeconds = (sound->rateHz >= 32000 ? 1152.0 : 576.0) / sound->rateHz;
        EXPECT_NEAR(static_cast<double>(sound->frames()) / sound->rateHz, seconds, frameSeconds);
        EXPECT_NEAR(toneFrequencyHz(*sound, 0), 440.0, 4.4);
        EXPECT_NEAR(toneFrequencyHz(*sound, 1), 1000.0, 10.0);
    }
    if (c.preset == 10) {
        EXPECT_EQ(ffprobeBitRate(mp3()), 320000);
        EXPECT_EQ(firstFrameTag(mp3()), "Info");
    } else {
        EXPECT_EQ(firstFrameTag(mp3()), "Xing");
    }
}

INSTANTIATE_TEST_SUITE_P(SourcesAndPresets, RealConversion,
                         ::testing::Values(RealCase{44100, 6, "Standard44100"}, RealCase{44100, 10, "Insane44100"},
                                           RealCase{22050, 6, "Standard22050"}, RealCase{22050, 10, "Insane22050"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(Conversion, ConstantBitRatePresetsUseTheConfiguredBitRate)
{
    ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), 44100, 2.0, 440, 1000));
    for (const auto &[preset, kbps] : {std::pair{12, 192}, std::pair{0, 160}, std::pair{5, 96}}) {
        QFile::remove(mp3());
        prepare(folder.path("tone.wav"), preset);
        encoder.setBitRate(kbps);
        encoder.Encode();
        EXPECT_EQ(ffprobeBitRate(mp3()), kbps * 1000) << "preset " << preset;
    }
}

TEST_F(Conversion, VoicePresetEncodesAtThirtyTwoKilohertz)
{
    ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), 44100, 2.0, 440, 1000));
    prepare(folder.path("tone.wav"), 3);
    encoder.Encode();
    const DecodedSound sound = decodeWithFfmpeg(mp3());
    EXPECT_EQ(sound.rateHz, 32000);
    EXPECT_NEAR(toneFrequencyHz(sound, 1), 1000.0, 10.0);
}

TEST_F(Conversion, MonoOutputModeMakesAOneChannelFile)
{
    ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), 44100, 2.0, 440, 440));
    prepare(folder.path("tone.wav"), 6);
    encoder.setOutputMode(3);
    encoder.Encode();
    EXPECT_EQ(ffprobeInfo(mp3()).channels, 1);
}

// ---- Progress and cancel -------------------------------------------------------------------

TEST_F(Conversion, EachFullChunkIsOneLibraryCallAndTheLastEventIsTwiceTheFrames)
{
    useFaultShim();
    FaultShim shim;
    prepare(source(waveFile({}, patternBytes(40000, 1)))); // 10000 frames: 8 x 1152 + 784
    encoder.Encode();

    ASSERT_EQ(shim.encodeCalls(), 9u);
    for (std::uint32_t i = 0; i < 8; ++i)
        EXPECT_EQ(shim.encodeSamples(i), 2304u);
    EXPECT_EQ(shim.encodeSamples(8), 1568u);
    ASSERT_EQ(events.size(), 9u);
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_EQ(events[i].done, 2304 * static_cast<int>(i + 1));
        EXPECT_EQ(events[i].total, 20000);
    }
    EXPECT_EQ(events.back().done, 20000);
    EXPECT_EQ(events.back().total, 20000);
    EXPECT_EQ(shim.openStreams(), 0);
    EXPECT_EQ(encoder.streamHandle(), 0u);
}

TEST_F(Conversion, SourceShorterThanOneChunkIsEncodedByOneCall)
{
    useFaultShim();
    FaultShim shim;
    prepare(source(waveFile({}, patternBytes(2000, 2))));
    encoder.Encode();
    ASSERT_EQ(shim.encodeCalls(), 1u);
    EXPECT_EQ(shim.encodeSamples(0), 1000u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].done, 1000);
    EXPECT_EQ(events[0].total, 1000);
    EXPECT_GT(QFileInfo(mp3()).size(), 0);
}

TEST_F(Conversion, CancelAfterTheFirstChunkLeavesNoFileAndRaisesNoMoreEvents)
{
    useFaultShim();
    FaultShim shim;
    prepare(source(waveFile({}, patternBytes(400000, 3))));
    cancelAfter = 1;
    encoder.Encode();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(shim.encodeCalls(), 1u);
    EXPECT_FALSE(QFile::exists(mp3()));
    EXPECT_EQ(shim.openStreams(), 0);
}

TEST_F(Conversion, OneEncoderConvertsAgainAfterTheTargetIsDeleted)
{
    ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), 22050, 1.0, 440, 1000));
    prepare(folder.path("tone.wav"), 6);
    encoder.Encode();
    const QByteArray first = readFileBytes(mp3());
    ASSERT_TRUE(QFile::remove(mp3()));
    encoder.Encode();
    EXPECT_TRUE(readFileBytes(mp3()) == first);
}

TEST_F(Conversion, EmptyDataConvertsToWhatTheLameProgramWritesForIt)
{
    ASSERT_TRUE(haveTool("lame"));
    const QString empty = source(waveFile({}, {}));
    prepare(empty);
    encoder.Encode();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].done, 0);
    EXPECT_EQ(events[0].total, 0);
    ASSERT_EQ(runTool("lame", {"--quiet", "--preset", "standard", "-m", "j", empty, folder.path("lame.mp3")}).exitCode, 0);
    EXPECT_EQ(QFileInfo(mp3()).size(), QFileInfo(folder.path("lame.mp3")).size());
}

// ---- Failures ------------------------------------------------------------------------------

TEST_F(Conversion, MonoSourceRaises29671ThroughEncodeWithTheStreamClosedAndNoFile)
{
    useFaultShim();
    FaultShim shim;
    prepare(source(waveFile({.channels = 1}, patternBytes(4000, 4))));
    const AppError error = encodeError();
    EXPECT_EQ(error.number(), 29671);
    EXPECT_EQ(error.text(), "Only stereo 16 bit wave files supported.");
    EXPECT_TRUE(error.source().endsWith(".lameConvert")) << error.source().toStdString();
    EXPECT_EQ(shim.openStreams(), 0);
    EXPECT_EQ(encoder.streamHandle(), 0u);
    EXPECT_FALSE(QFile::exists(mp3()));
}

TEST_F(Conversion, DamagedSourcesRaiseTheReadersErrorAndLeaveNothingBehind)
{
    useFaultShim();
    FaultShim shim;
    const QByteArray whole = waveFile({}, patternBytes(4000, 5));
    const std::pair<QByteArray, int> cases[] = {
        {waveFile({.bits = 8}, patternBytes(4000, 5)), 29671},
        {whole.left(40), 29676},
        {QByteArray("not a sound file at all"), 29673},
        {patternBytes(3000, 6), 29673},
        {QByteArray(), 29673},
    };
    for (const auto &[bytes, number] : cases) {
        prepare(source(bytes));
        const AppError error = encodeError();
        EXPECT_EQ(error.number(), number) << bytes.left(12).toHex().toStdString();
        EXPECT_TRUE(error.source().endsWith(".lameConvert"));
        EXPECT_FALSE(QFile::exists(mp3()));
        EXPECT_EQ(shim.openStreams(), 0);
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(Conversion, LibraryResultSevenRaises29777WithAnEmptyTextAndClosesTheStream)
{
    useFaultShim();
    FaultShim shim;
    shim.failEncodeAt(2, 7);
    prepare(source(waveFile({}, patternBytes(40000, 7))));
    const AppError error = encodeError();
    EXPECT_EQ(error.number(), 29777);
    EXPECT_TRUE(error.text().isEmpty());
    EXPECT_TRUE(error.source().endsWith(".lameConvert")) << error.source().toStdString();
    EXPECT_EQ(shim.openStreams(), 0);
    EXPECT_EQ(shim.closeCalls(), 1u);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_TRUE(QFile::exists(mp3())); // a failed conversion keeps what it wrote
}

TEST_F(Conversion, StreamThatCannotOpenRaisesUnderLameInitAndCreatesNothing)
{
    useFaultShim();
    FaultShim shim;
    shim.failInitWith(3);
    prepare(source(waveFile({}, patternBytes(4000, 8))));
    const AppError error = encodeError();
    EXPECT_EQ(error.number(), 29773);
    EXPECT_EQ(error.text(), "Out of LAME handles");
    EXPECT_TRUE(error.source().endsWith(".lameInit")) << error.source().toStdString();
    EXPECT_FALSE(QFile::exists(mp3()));
}

TEST_F(Conversion, SuccessWithoutAHandleRaisesEngineNotInitialised)
{
    useFaultShim();
    FaultShim shim;
    shim.reportNoHandle();
    prepare(source(waveFile({}, patternBytes(4000, 9))));
    const AppError error = encodeError();
    EXPECT_EQ(error.number(), 29771);
    EXPECT_EQ(error.text(), "Lame engine not initialised");
    EXPECT_TRUE(error.source().endsWith(".lameConvert"));
    EXPECT_FALSE(QFile::exists(mp3()));
}

TEST_F(Conversion, SourceNeverNamedRaisesNoWaveFileOpenBeforeCreatingTheTarget)
{
    encoder.setMp3File(mp3());
    const AppError error = encodeError();
    EXPECT_EQ(error.number(), 29676);
    EXPECT_FALSE(QFile::exists(mp3()));
}

TEST_F(Conversion, TargetThatCannotBeCreatedRaises29872ThroughEncode)
{
    useFaultShim();
    FaultShim shim;
    prepare(source(waveFile({}, patternBytes(4000, 10))));
    encoder.setMp3File(folder.path("missing/out.mp3"));
    const AppError error = encodeError();
    EXPECT_EQ(error.number(), 29872);
    EXPECT_EQ(error.text(), "Unable to open file for writing");
    EXPECT_TRUE(error.source().endsWith(".lameConvert"));
    EXPECT_EQ(shim.openStreams(), 0);
}
