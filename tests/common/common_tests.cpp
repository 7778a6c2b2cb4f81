#include "common/file_names.h"
#include "common/number_format.h"
#include "common/paths.h"
#include "common/rate_text.h"
#include "common/rounding.h"
#include "common/wave_format.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "../support/scoped_locale.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(AddBackslash, AppendsTheSeparatorOnlyWhenMissing)
{
    EXPECT_EQ(AddBackslash("/home/a"), "/home/a/");
    EXPECT_EQ(AddBackslash("/home/a/"), "/home/a/");
    EXPECT_EQ(AddBackslash(""), "/");
}

TEST(FileExists, FindsOrdinaryFilesOnly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.wav");
    EXPECT_FALSE(FileExists(file));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.path()));           // a folder
    EXPECT_FALSE(FileExists("/dev/null"));          // a device
    ASSERT_EQ(::symlink("/nonexistent/x", QFile::encodeName(dir.filePath("dangling")).constData()), 0);
    EXPECT_FALSE(FileExists(dir.filePath("dangling")));
}

TEST(RecordingsFolder, FollowsSonorielHomeAndIsCreated)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("SONORIEL_HOME");
    qputenv("SONORIEL_HOME", QFile::encodeName(dir.filePath("deep/home")));
    EXPECT_EQ(programFolder(), dir.filePath("deep/home") + "/");
    const QString wav = ensureRecordingsFolder();
    EXPECT_EQ(wav, dir.filePath("deep/home/Wav"));
    EXPECT_TRUE(QDir(wav).exists());
    qputenv("SONORIEL_HOME", "/proc/not-writable");
    EXPECT_TRUE(ensureRecordingsFolder().isEmpty());
    qputenv("SONORIEL_HOME", saved);
}

TEST(FileNames, EveryByteSurvivesTheWayThroughAStringAndTextReadsAsText)
{
    const QByteArray names[] = {
        "plain.wav", "\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5.wav", // valid UTF-8, two to four bytes
        "\xff\xfe.wav",                                            // no UTF-8 at all
        "\xc0\xaf", "\xe0\x80\xaf",                                   // overlong forms of "/"
        "\xed\xa0\x80",                                             // an encoded surrogate
        "cut \xe2\x82", "\xf4\x90\x80\x80",                           // a cut sequence, above U+10FFFF
        "\xc3\xa9\xe9",                                             // valid, then Latin-1
        "\xe0\xa0\x80\xe0\xa4\xb0.wav",                                 // U+0800, the first of three bytes
    };
    for (const QByteArray &bytes : names) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        EXPECT_EQ(fileNameBytes(fileNameFromBytes(bytes)), bytes);
    }
    EXPECT_EQ(fileNameFromBytes(names[1]), QString::fromUtf8(names[1]));
    EXPECT_EQ(fileNameFromBytes(names[9]), QString::fromUtf8(names[9]));
    EXPECT_EQ(fileNameFromBytes("\xc3\xa9\xe9"), QString::fromUtf8("\xc3\xa9") + QChar(0xDCE9));
    // Two names that Qt's own conversion makes one stay two.
    EXPECT_NE(fileNameFromBytes("\xff.wav"), fileNameFromBytes("\xfe.wav"));
    EXPECT_EQ(QString::fromUtf8("\xff.wav"), QString::fromUtf8("\xfe.wav"));
}

TEST(Rounding, HalvesGoToEvenAndSamplesSaturate)
{
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(3.5), 4.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfAway(2.5), 3.0);
    EXPECT_EQ(saturate16(40000.0), 32767);
    EXPECT_EQ(saturate16(-40000.0), -32768);
    EXPECT_EQ(saturate16(-32767.5), -32768);
    EXPECT_EQ(saturate16(std::int64_t{70000}), 32767);
    EXPECT_EQ(saturate16(std::int64_t{-32769}), -32768);
}

TEST(NumberFormat, UsesTheLocaleDecimalSeparator)
{
    const ScopedLocale french;
    EXPECT_EQ(formatNumber(44.1), "44,1");
    EXPECT_EQ(formatNumber(12345.5), "12345,5"); // no grouping
    EXPECT_EQ(formatFixed(24.66, 1), "24,7");
    const ScopedLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(formatNumber(22.05), "22.05");
}

TEST(WaveFormat, PcmRecordRoundTripsThroughItsBytes)
{
    const WaveFormat stereo = WaveFormat::pcm(44100, 2, 16);
    EXPECT_EQ(stereo.blockAlign, 4);
    EXPECT_EQ(stereo.avgBytesPerSec, 176400u);
    const auto bytes = stereo.toBytes();
    ASSERT_EQ(bytes.size(), 18u);
    EXPECT_EQ(le::get16(bytes.data()), 1); // PCM
    EXPECT_EQ(le::get32(bytes.data() + 4), 44100u);
    EXPECT_EQ(WaveFormat::fromBytes(bytes), stereo);

    WaveFormat adpcm = WaveFormat::pcm(22050, 1, 4);
    adpcm.formatTag = 0x11;
    adpcm.extra = {0xF9, 0x01};
    const auto adpcmBytes = adpcm.toBytes();
    EXPECT_EQ(adpcmBytes.size(), 20u);
    EXPECT_EQ(WaveFormat::fromBytes(adpcmBytes), adpcm);
    EXPECT_FALSE(WaveFormat::fromBytes(std::span(adpcmBytes).first(15)));
    EXPECT_EQ(WaveFormat::fromBytes(std::span(adpcmBytes).first(19))->extra.size(), 1u);
}

TEST(WaveFormat, TheExtensibleLayoutNamesItsSubFormatOnlyWhenItsGuidAndBitsAreSound)
{
    // 16-bit stereo in the extensible layout: valid bits, channel mask, then the sub-format GUID.
    const auto extensible = [](std::uint16_t validBits, std::uint8_t guidByte) {
        std::vector<std::uint8_t> bytes = {0xFE, 0xFF, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 22, 0};
        bytes.push_back(static_cast<std::uint8_t>(validBits));
        bytes.push_back(0);
        bytes.insert(bytes.end(), {3, 0, 0, 0, 1, 0});
        bytes.insert(bytes.end(), {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, guidByte});
        return bytes;
    };
    EXPECT_EQ(formatTagOf(extensible(16, 0x71)), 1);      // PCM
    EXPECT_EQ(formatTagOf(extensible(16, 0x72)), 0xFFFE); // another GUID that ends in 1
    EXPECT_EQ(formatTagOf(extensible(24, 0x71)), 0xFFFE); // more valid bits than the container holds
}

TEST(RateText, TheRateIsTheWholeNumberTheTextStartsWith)
{
    EXPECT_EQ(rateFromText(QStringLiteral("44100")), 44100);
    EXPECT_EQ(rateFromText(QStringLiteral(" 22050 Hz")), 22050);
    EXPECT_EQ(rateFromText(QStringLiteral("8000,5")), 8000);
    EXPECT_EQ(rateFromText(QStringLiteral("Hz 8000")), 0);
    EXPECT_EQ(rateFromText(QStringLiteral("999999999")), 999999999);
    EXPECT_EQ(rateFromText(QStringLiteral("9999999999")), 0); // no rate, and beyond 32 bits
}
