// Whole conversions through cLameEncoder with the real library: what lame --decode and ffprobe
// make of the MP3 files, the progress events, cancelling, and every failure path closing the
// library stream. A fault-injecting stand-in library (forwarding to the real one) counts the
// streams and answers chosen calls with chosen results.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include "platform/library/shared_library.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

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

private:
    SharedLibrary m_library;
};

class Conversion : public ::testing::Test {
public:
    void useFaultShim()
    {
        m_env.reset(); // restore first, so that the new choice is not undone
        m_env = std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", faultShimPath());
        shim = std::make_unique<FaultShim>();
    }
    // A conversion set up from source to out.mp3, recording its events.
    void prepare(const QString &source, std::int32_t preset = 6)
    {
        QFile::remove(mp3());
        events.clear();
        encoder.setEncodingPreset(preset);
        encoder.setWavFile(source);
        encoder.setMp3File(mp3());
        encoder.setProgressHandler([this](std::int32_t done, std::int32_t total, bool &cancel) {
            events.push_back({done, total});
            cancel = cancelAfter > 0 && static_cast<int>(events.size()) >= cancelAfter;
        });
    }
    void prepareBytes(const QByteArray &bytes) { prepare(folder.write(QStringLiteral("source.wav"), bytes)); }
    QString mp3() const { return folder.path("out.mp3"); }

    TestFolder folder;
    std::unique_ptr<ScopedEnvironment> m_env =
        std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", realShimPath());
    std::unique_ptr<FaultShim> shim;
    cLameEncoder encoder;
    std::vector<std::pair<std::int32_t, std::int32_t>> events; // done, total
    int cancelAfter = 0;
};

} // namespace

TEST_F(Conversion, PresetsGiveTheRateChannelsAndBitRateLameHearsWithTheSourcesDurationAndTones)
{
    const struct {
        int rateHz;
        std::int32_t preset, kbps, outputMode; // kbps, outputMode: left as they are when 0
        int heardRateHz, channels, bitRate;     // heardRateHz, bitRate: not checked when 0
        const char *tag;                        // "Xing" for VBR, "Info" for CBR
    } cases[] = {
        {44100, 6, 0, 0, 44100, 2, 0, "Xing"},
        {22050, 6, 0, 0, 22050, 2, 0, "Xing"},
        {44100, 10, 0, 0, 44100, 2, 320000, "Info"},
        {22050, 10, 0, 0, 0, 2, 320000, "Info"},
        {44100, 12, 192, 0, 44100, 2, 192000, "Info"},
        {44100, 3, 0, 0, 32000, 2, 0, nullptr}, // voice
        {44100, 6, 0, 3, 44100, 1, 0, nullptr}, // mono
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "preset " << c.preset << " at " << c.rateHz << " Hz, mode " << c.outputMode);
        ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), c.rateHz, 2.0));
        prepare(folder.path("tone.wav"), c.preset);
        if (c.kbps)
            encoder.setBitRate(c.kbps);
        if (c.outputMode)
            encoder.setOutputMode(c.outputMode);
        encoder.Encode();
        EXPECT_EQ(encoder.samplerate(), c.rateHz);
        const Heard heard = hearWithLame(mp3(), folder.path("lame.wav"));
        EXPECT_EQ(heard.info.channels, c.channels);
        EXPECT_NEAR(heard.info.seconds, 2.0, 1152.0 / 22050);
        if (c.channels == 2) {
            EXPECT_NEAR(heard.leftHz, 440.0, 4.4);
            EXPECT_NEAR(heard.rightHz, 1000.0, 10.0);
        }
        if (c.heardRateHz) {
            EXPECT_EQ(heard.info.rateHz, c.heardRateHz);
        }
        if (c.bitRate) {
            EXPECT_EQ(ffprobeBitRate(mp3()), c.bitRate);
        }
        if (c.tag) {
            EXPECT_TRUE(readFileBytes(mp3()).left(200).contains(c.tag));
        }
    }
}

TEST_F(Conversion, EachFullChunkIsOneLibraryCallTheLastEventIsTheTotalAndCancelLeavesNoFile)
{
    // 10000 frames: 8 x 1152 + 784 in 9 calls; 500 frames: one call; no frames: one event.
    for (const auto &[bytes, calls] : {std::pair{40000, 9u}, std::pair{2000, 1u}, std::pair{0, 0u}}) {
        SCOPED_TRACE(bytes);
        useFaultShim();
        prepareBytes(waveFile({}, patternBytes(bytes, 1)));
        encoder.Encode();
        const int total = bytes / 2;
        ASSERT_EQ(shim->call<std::uint32_t>("faultShimEncodeCalls"), calls);
        ASSERT_EQ(events.size(), std::max(calls, 1u));
        for (std::uint32_t i = 0; i + 1 < calls; ++i) {
            EXPECT_EQ(shim->call<std::uint32_t>("faultShimEncodeSamples", i), 2304u);
            EXPECT_EQ(events[i], std::pair(2304 * static_cast<int>(i + 1), total));
        }
        EXPECT_EQ(events.back(), std::pair(total, total));
        EXPECT_EQ(shim->openStreams(), 0);
        EXPECT_EQ(encoder.streamHandle(), 0u);
        EXPECT_GT(QFileInfo(mp3()).size(), 0);
    }
    // What the lame program writes for no sound.
    ASSERT_EQ(runTool("lame", {"--quiet", "--preset", "standard", "-m", "j", folder.path("source.wav"),
                               folder.path("lame.mp3")}).exitCode, 0);
    EXPECT_EQ(QFileInfo(mp3()).size(), QFileInfo(folder.path("lame.mp3")).size());

    prepareBytes(waveFile({}, patternBytes(400000, 3)));
    cancelAfter = 1;
    encoder.Encode();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(shim->call<std::uint32_t>("faultShimEncodeCalls"), 1u);
    EXPECT_FALSE(QFile::exists(mp3()));
    EXPECT_EQ(shim->openStreams(), 0);
}

TEST_F(Conversion, FailuresRaiseTheirErrorThroughEncodeWithTheStreamClosedAndNoFile)
{
    const QByteArray good = waveFile({}, patternBytes(40000, 5));
    const struct {
        const char *name;
        QByteArray source;
        std::function<void(Conversion &)> arrange;
        int number;
        const char *text; // nullptr: not checked
        const char *sourceEnd;
    } cases[] = {
        {"mono source", waveFile({.channels = 1}, patternBytes(4000, 4)), {}, 29671,
         "Only stereo 16 bit wave files supported.", ".lameConvert"},
        {"stream that cannot open", good, [](Conversion &t) { t.shim->call<void>("faultShimFailInitWith", 3u); },
         29773, "Out of LAME handles", ".lameInit"},
        {"success without a handle", good, [](Conversion &t) { t.shim->call<void>("faultShimReportNoHandle"); },
         29771, "Lame engine not initialised", ".lameConvert"},
        {"result 7 at the second chunk", good,
         [](Conversion &t) { t.shim->call<void>("faultShimFailEncodeAt", 2u, 7u); }, 29777, "", ".lameConvert"},
        {"target that cannot be created", good,
         [](Conversion &t) { t.encoder.setMp3File(t.folder.path("missing/out.mp3")); }, 29872,
         "Unable to open file for writing", ".lameConvert"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        useFaultShim();
        prepareBytes(c.source);
        if (c.arrange)
            c.arrange(*this);
        expectError(raisedBy([this] { encoder.Encode(); }), c.number, c.text, c.sourceEnd);
        EXPECT_EQ(shim->openStreams(), 0);
        EXPECT_EQ(encoder.streamHandle(), 0u);
        EXPECT_EQ(folderEntries(folder.path(".")).filter("out.mp3").size(), 0); // nor a partial file
    }

    cLameEncoder unnamed; // a source never named: nothing is created
    unnamed.setMp3File(mp3());
    EXPECT_EQ(raisedBy([&] { unnamed.Encode(); }).number(), 29676);
    EXPECT_FALSE(QFile::exists(mp3()));
}
