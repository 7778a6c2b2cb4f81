// cLameEncoder: file names, loading the library, and whole conversions with the real one: what lame
// --decode and ffprobe make of the MP3 files, progress events, cancelling, failures that leave no file.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include <QFile>
#include <QFileInfo>

class Conversion : public ::testing::Test {
public:
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
    ScopedEnvironment env{"SONORIEL_LAME_SHIM", realShimPath()};
    cLameEncoder encoder;
    std::vector<std::pair<std::int32_t, std::int32_t>> events; // done, total
    int cancelAfter = 0;
};

TEST_F(Conversion, PresetsGiveTheRateChannelsAndBitRateLameHearsWithTheSourcesDurationAndTones)
{
    // kbps and outputMode are left as they are and bitRate is not checked when 0; tag: "Xing" for VBR, "Info" for CBR.
    const struct { std::int32_t preset, kbps, outputMode; int heardRateHz, channels, bitRate; const char *tag; } cases[] = {
        {6, 0, 0, 44100, 2, 0, "Xing"},        {10, 0, 0, 44100, 2, 320000, "Info"},
        {12, 192, 0, 44100, 2, 192000, "Info"}, {3, 0, 0, 32000, 2, 0, "Xing"}, // voice
        {6, 0, 3, 44100, 1, 0, "Xing"},                                          // mono
    };
    ASSERT_TRUE(writeToneFile(folder.path("tone.wav"), 44100, 2.0));
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "preset " << c.preset << ", mode " << c.outputMode);
        prepare(folder.path("tone.wav"), c.preset);
        if (c.kbps)
            encoder.setBitRate(c.kbps);
        if (c.outputMode)
            encoder.setOutputMode(c.outputMode);
        encoder.Encode();
        const Heard heard = hearWithLame(mp3(), folder.path("lame.wav"));
        EXPECT_EQ(heard.info.channels, c.channels);
        EXPECT_EQ(heard.info.rateHz, c.heardRateHz);
        EXPECT_NEAR(heard.info.seconds, 2.0, 1152.0 / 22050);
        if (c.channels == 2) {
            EXPECT_NEAR(heard.leftHz, 440.0, 4.4);
            EXPECT_NEAR(heard.rightHz, 1000.0, 10.0);
        }
        if (c.bitRate) {
            EXPECT_EQ(ffprobeBitRate(mp3()), c.bitRate);
        }
        EXPECT_TRUE(readFileBytes(mp3()).left(200).contains(c.tag));
    }
}

TEST_F(Conversion, TheLastEventIsTheTotalAndCancelLeavesNoFile)
{
    for (const int bytes : {40000, 0}) {
        SCOPED_TRACE(bytes);
        prepareBytes(waveFile({}, patternBytes(bytes, 1)));
        encoder.Encode();
        ASSERT_FALSE(events.empty());
        EXPECT_EQ(events.back(), std::pair(bytes / 2, bytes / 2));
        EXPECT_EQ(encoder.streamHandle(), 0u);
        EXPECT_GT(QFileInfo(mp3()).size(), 0);
    }
    prepareBytes(waveFile({}, patternBytes(400000, 3)));
    cancelAfter = 1;
    encoder.Encode();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_FALSE(QFile::exists(mp3()));
    EXPECT_EQ(encoder.streamHandle(), 0u);
}

TEST_F(Conversion, FailuresRaiseTheirErrorWithTheStreamClosedAndNoFile)
{
    prepareBytes(waveFile({}, patternBytes(40000, 5)));
    encoder.setMp3File(folder.path("missing/out.mp3"));
    const AppError target = raisedBy([this] { encoder.Encode(); });
    EXPECT_EQ(target.number(), 29872);
    EXPECT_EQ(target.text(), "Unable to open file for writing");
    EXPECT_TRUE(target.source().endsWith(".lameConvert")) << target.source().toStdString();
    EXPECT_EQ(encoder.streamHandle(), 0u);
    EXPECT_TRUE(folderEntries(folder.path(".")).filter("out.mp3").isEmpty()); // nor a partial file
}

TEST(LameEncoder, SourceNameIsKeptOnlyForAnExistingFileAndTargetOnlyForANewOne)
{
    TestFolder folder;
    const QString existing = folder.write("a.wav", waveFile({}, patternBytes(400, 1)));
    cLameEncoder encoder;
    encoder.setWavFile(existing);
    encoder.setWavFile(folder.path("missing.wav"));
    EXPECT_EQ(encoder.WavFile(), existing);
    encoder.setMp3File(folder.path("new.mp3"));
    encoder.setMp3File(existing);
    EXPECT_EQ(encoder.Mp3File(), folder.path("new.mp3"));
}

TEST(LameEncoder, LibrariesThatCannotBeUsedAreRefusedWithTheLoadersMessage)
{
    TestFolder folder;
    const QString missing = folder.path("missing/liblameencshim.so");
    const QString broken = folder.write("liblameencshim.so", QByteArray("this is not a shared object"));
    const QString source = folder.write("a.wav", waveFile({}, patternBytes(4000, 2)));
    const struct { QString library; bool encode; int number; QStringList texts; } cases[] = {
        {missing, false, 53, {missing, "No such file"}},
        {broken, true, 48, {broken}},
        {QStringLiteral("libm.so.6"), false, 453, {"beInitStream"}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.library.toStdString());
        ScopedEnvironment shim("SONORIEL_LAME_SHIM", c.library);
        cLameEncoder encoder;
        encoder.setWavFile(source);
        encoder.setMp3File(folder.path("a.mp3"));
        const AppError error = raisedBy([&] { c.encode ? encoder.Encode() : (void)encoder.Version(); });
        EXPECT_EQ(error.number(), c.number);
        for (const QString &text : c.texts)
            EXPECT_TRUE(error.text().contains(text)) << error.text().toStdString();
        EXPECT_FALSE(QFile::exists(folder.path("a.mp3")));
    }
}
