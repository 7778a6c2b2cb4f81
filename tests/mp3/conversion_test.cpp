// Whole conversions through cLameEncoder with the real library: what the reference decoders
// hear in the MP3 files, the progress events, cancelling, and every failure path closing the
// library stream. A fault-injecting stand-in library (forwarding to the real one) counts the
// streams and answers chosen calls with chosen results.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include "../support/tools.h"
#include "platform/library/shared_library.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

struct Event {
    std::int32_t done;
    std::int32_t total;
};

// The controls of the stand-in library, reached through the copy the encoder loads:
// call<R>("faultShimX", arguments...) runs faultShimX.
class FaultShim {
public:
    FaultShim()
    {
        const Status opened = m_library.open(faultShimPath());
        EXPECT_TRUE(opened) << opened.reason().toStdString();
        call<void>("faultShimReset");
    }
    template <typename R, typename... A>
    R call(const char *name, A... arguments)
    {
        const Result<void *> f = m_library.symbol(name);
        if (!f) {
            ADD_FAILURE() << name << ": " << f.reason().toStdString();
            return R();
        }
        return reinterpret_cast<R (*)(A...)>(*f)(arguments...);
    }
    int openStreams() { return call<int>("faultShimOpenStreams"); }
    std::uint32_t encodeCalls() { return call<std::uint32_t>("faultShimEncodeCalls"); }
    std::uint32_t encodeSamples(std::uint32_t i) { return call<std::uint32_t>("faultShimEncodeSamples", i); }

private:
    SharedLibrary m_library;
};

class Conversion : public ::testing::Test {
public:
    // Switches to the stand-in library; its controls are then in `shim`.
    void useFaultShim()
    {
        m_env.reset(); // restore first, so that the new choice is not undone
        m_env = std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", faultShimPath());
        shim = std::make_unique<FaultShim>();
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
    void prepareBytes(const QByteArray &bytes) { prepare(folder.write(QStringLiteral("source.wav"), bytes)); }
    // A tone file made by sox, 440 Hz on the left and `rightHz` on the right.
    void prepareTone(int rateHz, double seconds, std::int32_t preset, int rightHz = 1000)
    {
        ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), rateHz, seconds, 440, rightHz));
        QFile::remove(mp3());
        prepare(folder.path("tone.wav"), preset);
    }
    QString mp3() const { return folder.path("out.mp3"); }
    AppError encodeError() { return raisedBy([this] { encoder.Encode(); }); }

    TestFolder folder;
    std::unique_ptr<ScopedEnvironment> m_env =
        std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", realShimPath());
    std::unique_ptr<FaultShim> shim;
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
    prepareTone(c.rateHz, seconds, c.preset);
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
    }
    EXPECT_EQ(firstFrameTag(mp3()), c.preset == 10 ? "Info" : "Xing");
}

INSTANTIATE_TEST_SUITE_P(SourcesAndPresets, RealConversion,
                         ::testing::Values(RealCase{44100, 6, "Standard44100"}, RealCase{44100, 10, "Insane44100"},
                                           RealCase{22050, 6, "Standard22050"}, RealCase{22050, 10, "Insane22050"}),
                         [](const auto &run) { return std::string(run.param.name); });

TEST_F(Conversion, PresetsChooseTheBitRateTheRateAndTheChannels)
{
    for (const auto &[preset, kbps] : {std::pair{12, 192}, std::pair{0, 160}, std::pair{5, 96}}) {
        prepareTone(44100, 2.0, preset);
        encoder.setBitRate(kbps);
        encoder.Encode();
        EXPECT_EQ(ffprobeBitRate(mp3()), kbps * 1000) << "constant bit rate preset " << preset;
    }
    prepareTone(44100, 2.0, 3); // voice: 32 kHz
    encoder.Encode();
    const DecodedSound sound = decodeWithFfmpeg(mp3());
    EXPECT_EQ(sound.rateHz, 32000);
    EXPECT_NEAR(toneFrequencyHz(sound, 1), 1000.0, 10.0);

    prepareTone(44100, 2.0, 6, 440);
    encoder.setOutputMode(3); // mono
    encoder.Encode();
    EXPECT_EQ(ffprobeInfo(mp3()).channels, 1);
}

// ---- Progress and cancel -------------------------------------------------------------------

TEST_F(Conversion, EachFullChunkIsOneLibraryCallAndTheLastEventIsTheTotal)
{
    // 10000 frames: 8 x 1152 + 784 in 9 calls; 500 frames: one call.
    for (const auto &[bytes, calls] : {std::pair{40000, 9u}, std::pair{2000, 1u}}) {
        SCOPED_TRACE(bytes);
        useFaultShim();
        events.clear();
        QFile::remove(mp3());
        prepareBytes(waveFile({}, patternBytes(bytes, 1)));
        encoder.Encode();
        const int total = bytes / 2;
        ASSERT_EQ(shim->encodeCalls(), calls);
        ASSERT_EQ(events.size(), calls);
        for (std::uint32_t i = 0; i + 1 < calls; ++i) {
            EXPECT_EQ(shim->encodeSamples(i), 2304u);
            EXPECT_EQ(events[i].done, 2304 * static_cast<int>(i + 1));
            EXPECT_EQ(events[i].total, total);
        }
        EXPECT_EQ(shim->encodeSamples(calls - 1), static_cast<std::uint32_t>(total - 2304 * (calls - 1)));
        EXPECT_EQ(events.back().done, total);
        EXPECT_EQ(events.back().total, total);
        EXPECT_EQ(shim->openStreams(), 0);
        EXPECT_EQ(encoder.streamHandle(), 0u);
        EXPECT_GT(QFileInfo(mp3()).size(), 0);
    }
}

TEST_F(Conversion, CancelAfterTheFirstChunkLeavesNoFileAndRaisesNoMoreEvents)
{
    useFaultShim();
    prepareBytes(waveFile({}, patternBytes(400000, 3)));
    cancelAfter = 1;
    encoder.Encode();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(shim->encodeCalls(), 1u);
    EXPECT_FALSE(QFile::exists(mp3()));
    EXPECT_EQ(shim->openStreams(), 0);
}

TEST_F(Conversion, OneEncoderConvertsAgainAfterTheTargetIsDeleted)
{
    prepareTone(22050, 1.0, 6);
    encoder.Encode();
    const QByteArray first = readFileBytes(mp3());
    ASSERT_TRUE(QFile::remove(mp3()));
    encoder.Encode();
    EXPECT_TRUE(readFileBytes(mp3()) == first);
}

TEST_F(Conversion, EmptyDataConvertsToWhatTheLameProgramWritesForIt)
{
    ASSERT_TRUE(haveTool("lame"));
    const QString empty = folder.write(QStringLiteral("source.wav"), waveFile({}, {}));
    prepare(empty);
    encoder.Encode();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].done, 0);
    EXPECT_EQ(events[0].total, 0);
    ASSERT_EQ(runTool("lame", {"--quiet", "--preset", "standard", "-m", "j", empty, folder.path("lame.mp3")}).exitCode, 0);
    EXPECT_EQ(QFileInfo(mp3()).size(), QFileInfo(folder.path("lame.mp3")).size());
}

// ---- Failures ------------------------------------------------------------------------------

TEST_F(Conversion, FailuresRaiseTheirErrorThroughEncodeWithTheStreamClosedAndNoFile)
{
    const QByteArray good = waveFile({}, patternBytes(4000, 5));
    struct Case {
        const char *name;
        QByteArray source;
        std::function<void(Conversion &)> arrange;
        int number;
        const char *text; // nullptr: not checked
        const char *sourceEnd;
    };
    const Case cases[] = {
        {"mono source", waveFile({.channels = 1}, patternBytes(4000, 4)), {}, 29671,
         "Only stereo 16 bit wave files supported.", ".lameConvert"},
        {"8-bit source", waveFile({.bits = 8}, patternBytes(4000, 5)), {}, 29671, nullptr, ".lameConvert"},
        {"source cut in the data header", good.left(40), {}, 29676, nullptr, ".lameConvert"},
        {"text source", QByteArray("not a sound file at all"), {}, 29673, nullptr, ".lameConvert"},
        {"noise source", patternBytes(3000, 6), {}, 29673, nullptr, ".lameConvert"},
        {"empty source", QByteArray(), {}, 29673, nullptr, ".lameConvert"},
        {"stream that cannot open", good, [](Conversion &t) { t.shim->call<void>("faultShimFailInitWith", 3u); },
         29773, "Out of LAME handles", ".lameInit"},
        {"success without a handle", good, [](Conversion &t) { t.shim->call<void>("faultShimReportNoHandle"); },
         29771, "Lame engine not initialised", ".lameConvert"},
        {"target that cannot be created", good,
         [](Conversion &t) { t.encoder.setMp3File(t.folder.path("missing/out.mp3")); }, 29872,
         "Unable to open file for writing", ".lameConvert"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        useFaultShim();
        prepareBytes(c.source);
        if (c.arrange)
            c.arrange(*this);
        expectError(encodeError(), c.number, c.text, c.sourceEnd);
        EXPECT_EQ(shim->openStreams(), 0);
        EXPECT_EQ(encoder.streamHandle(), 0u);
        EXPECT_FALSE(QFile::exists(mp3()));
    }
    EXPECT_TRUE(events.empty());
}

TEST_F(Conversion, LibraryResultSevenRaises29777WithAnEmptyTextAndClosesTheStream)
{
    useFaultShim();
    shim->call<void>("faultShimFailEncodeAt", 2u, 7u);
    prepareBytes(waveFile({}, patternBytes(40000, 7)));
    expectError(encodeError(), 29777, "", ".lameConvert");
    EXPECT_EQ(shim->openStreams(), 0);
    EXPECT_EQ(shim->call<std::uint32_t>("faultShimCloseCalls"), 1u);
    EXPECT_EQ(events.size(), 1u);
    EXPECT_FALSE(QFile::exists(mp3())); // a failed conversion leaves no partial file
    EXPECT_EQ(QDir(folder.path(".")).entryList(QDir::Files | QDir::Hidden).filter(".part").size(), 0);
}

TEST_F(Conversion, SourceNeverNamedRaisesNoWaveFileOpenBeforeCreatingTheTarget)
{
    encoder.setMp3File(mp3());
    EXPECT_EQ(encodeError().number(), 29676);
    EXPECT_FALSE(QFile::exists(mp3()));
}
