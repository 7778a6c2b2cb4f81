// cLameEncoder's own rules: its configuration record, properties, file names, loading the
// library, the version object and the translation of library results.
#include "mp3/lame_encoder.h"

#include "mp3_fixtures.h"

#include "common/app_error.h"

#include <QFile>

#include <cstring>

#include <gtest/gtest.h>

namespace {

std::uint32_t fieldAt(const cLameEncoder &encoder, std::size_t offset)
{
    const auto &r = encoder.configurationRecord();
    return r[offset] | (r[offset + 1] << 8) | (r[offset + 2] << 16) | (static_cast<std::uint32_t>(r[offset + 3]) << 24);
}

AppError raised(const QString &operation, std::int32_t code, bool library)
{
    try {
        RaiseError(operation, code, library);
    } catch (const AppError &error) {
        return error;
    }
    return AppError(0, {}, {});
}

} // namespace

TEST(LameEncoder, ConfigurationRecordHoldsTheCreationValuesAndZerosElsewhere)
{
    const cLameEncoder encoder;
    const std::pair<std::size_t, std::uint32_t> expected[] = {
        {0, 256}, {4, 1}, {8, 331}, {12, 44100}, {20, 1}, {24, 128},
        {32, 4}, {36, 1}, {60, 1}, {64, 1}, {84, 1}};
    for (const auto &[offset, value] : expected)
        EXPECT_EQ(fieldAt(encoder, offset), value) << "offset " << offset;
    const auto &record = encoder.configurationRecord();
    ASSERT_EQ(record.size(), 331u);
    for (std::size_t i = 0; i < record.size(); ++i) {
        bool listed = false;
        for (const auto &[offset, value] : expected)
            listed = listed || (i >= offset && i < offset + 4);
        if (!listed) {
            EXPECT_EQ(record[i], 0) << "byte " << i;
        }
    }
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
    const QString existing = folder.path("a.wav");
    ASSERT_TRUE(writeBytes(existing, waveFile({}, patternBytes(400, 1))));
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
    for (int code = 1; code <= 5; ++code) {
        const AppError error = raised(QStringLiteral("lameConvert"), code, true);
        EXPECT_EQ(error.number(), 29770 + code);
        EXPECT_EQ(error.text(), texts[code - 1]);
        EXPECT_TRUE(error.source().endsWith(".lameConvert"));
    }
    EXPECT_EQ(raised(QStringLiteral("x"), 7, true).number(), 29777);
    EXPECT_TRUE(raised(QStringLiteral("x"), 7, true).text().isEmpty());
    EXPECT_EQ(raised(QStringLiteral("x"), 0, true).number(), 0);
    EXPECT_EQ(raised(QStringLiteral("x"), 1, false).text(), "Lame engine not initialised");
    EXPECT_EQ(raised(QStringLiteral("x"), 3, false).number(), 29773);
    EXPECT_TRUE(raised(QStringLiteral("x"), 3, false).text().isEmpty());
}

TEST(LameEncoder, VersionIsCreatedOnceAndComesFromTheLibrary)
{
    ScopedEnvironment shim("SONORIEL_LAME_SHIM", realShimPath());
    cLameEncoder encoder;
    const cLameEncoderVersion &first = encoder.Version();
    EXPECT_EQ(&encoder.Version(), &first);
    EXPECT_EQ(first.MajorVersion(), 3);
}

TEST(LameEncoder, MissingLibraryReachesTheCallerWithTheLoadersMessage)
{
    TestFolder folder;
    const QString missing = folder.path("liblameencshim.so");
    ScopedEnvironment shim("SONORIEL_LAME_SHIM", missing);
    cLameEncoder encoder;
    try {
        encoder.Version();
        ADD_FAILURE() << "a missing library was loaded";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 53);
        EXPECT_TRUE(error.text().contains(missing)) << error.text().toStdString();
        EXPECT_TRUE(error.text().contains("No such file")) << error.text().toStdString();
    }
}

TEST(LameEncoder, UnloadableLibraryReachesEncodeWithTheLoadersMessageAndCreatesNothing)
{
    TestFolder folder;
    const QString broken = folder.path("liblameencshim.so");
    ASSERT_TRUE(writeBytes(broken, QByteArray("this is not a shared object")));
    ASSERT_TRUE(writeBytes(folder.path("a.wav"), waveFile({}, patternBytes(4000, 2))));
    ScopedEnvironment shim("SONORIEL_LAME_SHIM", broken);
    cLameEncoder encoder;
    encoder.setWavFile(folder.path("a.wav"));
    encoder.setMp3File(folder.path("a.mp3"));
    try {
        encoder.Encode();
        ADD_FAILURE() << "an unloadable library was used";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 48);
        EXPECT_TRUE(error.text().contains(broken)) << error.text().toStdString();
    }
    EXPECT_FALSE(QFile::exists(folder.path("a.mp3")));
}

TEST(LameEncoder, LibraryWithoutAnOperationIsRefusedNamingIt)
{
    ScopedEnvironment libm("SONORIEL_LAME_SHIM", QStringLiteral("libm.so.6"));
    cLameEncoder encoder;
    try {
        encoder.Version();
        ADD_FAILURE() << "a library without the stream operations was accepted";
    } catch (const AppError &error) {
        EXPECT_EQ(error.number(), 453);
        EXPECT_TRUE(error.text().contains("beInitStream")) << error.text().toStdString();
    }
}

TEST(LameEncoderVersion, ReleaseDateRollsOverLikeADateSerialAndHomePageStopsAtItsZero)
{
    std::array<std::uint8_t, cLameEncoderVersion::kRecordBytes> record{};
    record[0] = 1;
    record[1] = 32;
    record[2] = 3;
    record[3] = 100;
    record[4] = 30; // 30 February 2024 is 1 March 2024
    record[5] = 2;
    record[6] = 2024 & 0xFF;
    record[7] = 2024 >> 8;
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
