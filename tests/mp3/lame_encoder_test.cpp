// cLameEncoder's own rules: its configuration record, properties, file names, loading the
// library, the version object and the translation of library results.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include <QFile>

#include <cstring>

#include <gtest/gtest.h>

namespace {

std::uint32_t fieldAt(const cLameEncoder &encoder, std::size_t offset)
{
    const auto &r = encoder.configurationRecord();
    return r[offset] | (r[offset + 1] << 8) | (r[offset + 2] << 16) | (static_cast<std::uint32_t>(r[offset + 3]) << 24);
}

} // namespace

TEST(LameEncoder, ConfigurationRecordHoldsTheCreationValuesAndZerosElsewhere)
{
    const cLameEncoder encoder;
    const auto &record = encoder.configurationRecord();
    ASSERT_EQ(record.size(), 331u);
    std::array<std::uint32_t, 331> expected{}; // the value of the field at each listed offset
    for (const auto &[offset, value] : {std::pair<std::size_t, std::uint32_t>{0, 256}, {4, 1}, {8, 331}, {12, 44100},
                                        {20, 1}, {24, 128}, {32, 4}, {36, 1}, {60, 1}, {64, 1}, {84, 1}})
        for (std::size_t i = 0; i < 4; ++i)
            expected[offset + i] = (value >> (8 * i)) & 0xFF;
    for (std::size_t i = 0; i < record.size(); ++i)
        EXPECT_EQ(record[i], expected[i]) << "byte " << i;
}

TEST(LameEncoder, PropertiesAreTheFieldsOfTheRecord)
{
    cLameEncoder encoder;
    encoder.setEncodingPreset(-1);
    encoder.setBitRate(192);
    encoder.setsamplerate(22050);
    encoder.setOutputMode(3);
    EXPECT_EQ(fieldAt(encoder, 32), 0xFFFFFFFFu);
    EXPECT_EQ(fieldAt(encoder, 24), 192u);
    EXPECT_EQ(fieldAt(encoder, 12), 22050u);
    EXPECT_EQ(fieldAt(encoder, 20), 3u);
    EXPECT_EQ(encoder.EncodingPreset(), -1);
    EXPECT_EQ(encoder.BitRate(), 192);
    EXPECT_EQ(encoder.samplerate(), 22050);
    EXPECT_EQ(encoder.OutputMode(), 3);
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

TEST(LameEncoder, LibraryResultsBecomeNumberedErrorsWithTheirTexts)
{
    const char *texts[] = {"Invalid Format", "Invalid Format Parameters", "Out of LAME handles",
                           "LAME handle is invalid", "Buffer is too small"};
    for (int code = 1; code <= 5; ++code)
        expectError(raisedBy([&] { RaiseError(QStringLiteral("lameConvert"), code, true); }), 29770 + code,
                    texts[code - 1], ".lameConvert");
    const auto raised = [](std::int32_t code, bool library) {
        return raisedBy([&] { RaiseError(QStringLiteral("x"), code, library); });
    };
    expectError(raised(7, true), 29777, "");
    EXPECT_EQ(raised(0, true).number(), 0);
    EXPECT_EQ(raised(1, false).text(), "Lame engine not initialised");
    expectError(raised(3, false), 29773, "");
}

TEST(LameEncoder, VersionIsCreatedOnceAndComesFromTheLibrary)
{
    ScopedEnvironment shim("SONORIEL_LAME_SHIM", realShimPath());
    cLameEncoder encoder;
    const cLameEncoderVersion &first = encoder.Version();
    EXPECT_EQ(&encoder.Version(), &first);
    EXPECT_EQ(first.MajorVersion(), 3);
}

TEST(LameEncoder, LibrariesThatCannotBeUsedAreRefusedWithTheLoadersMessage)
{
    TestFolder folder;
    const QString missing = folder.path("missing/liblameencshim.so");
    const QString broken = folder.write("liblameencshim.so", QByteArray("this is not a shared object"));
    const QString source = folder.write("a.wav", waveFile({}, patternBytes(4000, 2)));
    struct Case {
        QString library;
        bool encode; // through Encode rather than Version
        int number;
        QStringList texts;
    };
    const Case cases[] = {{missing, false, 53, {missing, "No such file"}},
                          {broken, true, 48, {broken}},
                          {QStringLiteral("libm.so.6"), false, 453, {"beInitStream"}}};
    for (const Case &c : cases) {
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

TEST(LameEncoderVersion, ReleaseDateRollsOverLikeADateSerialAndHomePageStopsAtItsZero)
{
    std::array<std::uint8_t, cLameEncoderVersion::kRecordBytes> record{};
    const std::uint8_t head[] = {1, 32, 3, 100, 30, 2, 2024 & 0xFF, 2024 >> 8}; // 30 February 2024
    std::memcpy(&record[0], head, sizeof head);
    const char page[] = "http://lame.sf.net";
    std::memcpy(&record[8], page, sizeof page);
    record[8 + sizeof page] = 'X'; // after the zero: not part of the address
    record[137] = 4;
    record[138] = 5;
    record[139] = 1;
    const cLameEncoderVersion version(record);
    EXPECT_EQ(version.ReleaseDate(), QDate(2024, 3, 1));
    EXPECT_EQ(version.HomePage(), "http://lame.sf.net");
    EXPECT_EQ(version.DllMinorVersion(), 32);
    EXPECT_EQ(version.MinorVersion(), 100);
    EXPECT_EQ(version.AlphaLevel(), 4);
    EXPECT_EQ(version.BetaLevel(), 5);
    EXPECT_EQ(version.MMXEnabled(), 1);

    record[4] = 0; // day 0 of month 13 of 2024 is 31 December 2024
    record[5] = 13;
    std::memset(&record[8], 'a', 129); // no zero inside the field: all 129 characters
    EXPECT_EQ(cLameEncoderVersion(record).ReleaseDate(), QDate(2024, 12, 31));
    EXPECT_EQ(cLameEncoderVersion(record).HomePage(), QString(129, 'a'));
}
