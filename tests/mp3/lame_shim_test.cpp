// liblameencshim itself, loaded as the program loads it: the stream operations, the handle
// rules, the configuration record's checks and the version record.
#include "mp3/lame_encoder.h"
#include "mp3/lame_library.h"

#include "mp3_fixtures.h"

#include "../support/tools.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Record = std::array<std::uint8_t, cLameEncoder::kConfigBytes>;

void put32(Record &record, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

Record recordFor(std::int32_t preset, std::int32_t rateHz)
{
    cLameEncoder encoder;
    encoder.setEncodingPreset(preset);
    encoder.setsamplerate(rateHz);
    return encoder.configurationRecord();
}

class LameShim : public ::testing::Test {
protected:
    ScopedEnvironment shim{"SONORIEL_LAME_SHIM", realShimPath()};
    std::shared_ptr<LameLibrary> lib = LameLibrary::load(QStringLiteral("test"));
};

} // namespace

TEST_F(LameShim, EveryPresetOfTheListOpensAStreamAtBothSourceRates)
{
    for (const std::int32_t preset : {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}) {
        for (const std::int32_t rate : {44100, 22050}) {
            const Record record = recordFor(preset, rate);
            std::uint32_t samples = 0, bytes = 0, handle = 0;
            ASSERT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 0u)
                << "preset " << preset << " at " << rate << " Hz";
            EXPECT_NE(handle, 0u);
            EXPECT_GT(samples, 0u);
            EXPECT_EQ(samples % 2, 0u);
            EXPECT_GE(bytes, 7200u);
            EXPECT_EQ(lib->beCloseStream(handle), 0u);
        }
    }
}

TEST_F(LameShim, ChunkAtFortyFourKilohertzIsOneMpeg1FrameOfStereoSamples)
{
    const Record record = recordFor(6, 44100);
    std::uint32_t samples = 0, bytes = 0, handle = 0;
    ASSERT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 0u);
    EXPECT_EQ(samples, 2304u);
    lib->beCloseStream(handle);
}

TEST_F(LameShim, RecordsItCannotUseAreRefusedWithoutAHandle)
{
    struct Case {
        std::size_t offset;
        std::uint32_t value;
        std::uint32_t result;
    };
    const Case cases[] = {
        {0, 0, 1},      // a Blade MP3 record rather than a LAME one
        {8, 300, 1},    // another record size
        {12, 0, 2},     // no input rate
        {20, 4, 2},     // no such stereo mode
        {32, 15, 2},    // preset outside the list
        {32, 0xFFFFFF9Cu, 2},
    };
    for (const Case &c : cases) {
        Record record = recordFor(6, 44100);
        put32(record, c.offset, c.value);
        std::uint32_t samples = 7, bytes = 7, handle = 7;
        EXPECT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), c.result)
            << "offset " << c.offset << " value " << c.value;
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(samples, 0u);
    }
}

TEST_F(LameShim, ClosedOrUnknownHandlesAreInvalid)
{
    const Record record = recordFor(6, 44100);
    std::uint32_t samples = 0, bytes = 0, handle = 0;
    ASSERT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 0u);
    std::vector<std::uint8_t> out(bytes);
    std::vector<std::int16_t> pcm(samples, 0);
    std::uint32_t written = 0;
    EXPECT_EQ(lib->beEncodeChunk(handle, samples, pcm.data(), out.data(), &written), 0u);
    EXPECT_EQ(lib->beCloseStream(handle), 0u);
    EXPECT_EQ(lib->beCloseStream(handle), 4u);
    EXPECT_EQ(lib->beEncodeChunk(handle, samples, pcm.data(), out.data(), &written), 4u);
    EXPECT_EQ(lib->beDeinitStream(handle + 1000, out.data(), &written), 4u);
}

TEST_F(LameShim, RunsOutOfHandlesInsteadOfGrowingWithoutEnd)
{
    const Record record = recordFor(6, 44100);
    std::vector<std::uint32_t> handles;
    std::uint32_t result = 0;
    for (int i = 0; i < 1000 && result == 0; ++i) {
        std::uint32_t samples = 0, bytes = 0, handle = 0;
        result = lib->beInitStream(record.data(), &samples, &bytes, &handle);
        if (result == 0)
            handles.push_back(handle);
    }
    EXPECT_EQ(result, 3u);
    EXPECT_GE(handles.size(), 2u);
    for (const std::uint32_t handle : handles)
        EXPECT_EQ(lib->beCloseStream(handle), 0u);
    std::uint32_t samples = 0, bytes = 0, handle = 0;
    EXPECT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 0u);
    lib->beCloseStream(handle);
}

TEST_F(LameShim, OddOrOversizedSampleCountsAreRefused)
{
    const Record record = recordFor(6, 44100);
    std::uint32_t samples = 0, bytes = 0, handle = 0;
    ASSERT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 0u);
    std::vector<std::uint8_t> out(bytes);
    std::vector<std::int16_t> pcm(samples * 2, 0);
    std::uint32_t written = 0;
    EXPECT_EQ(lib->beEncodeChunk(handle, 3, pcm.data(), out.data(), &written), 2u);
    EXPECT_EQ(lib->beEncodeChunk(handle, samples * 2, pcm.data(), out.data(), &written), 5u);
    lib->beCloseStream(handle);
}

TEST_F(LameShim, VersionRecordCarriesTheEngineVersionAndHomePage)
{
    std::array<std::uint8_t, 265> record{};
    record.fill(0xEE);
    lib->beVersion(record.data());
    const cLameEncoderVersion version(record);
    // `lame --version` starts "LAME 64bits version 3.100 (...)".
    const QString banner = runTool("lame", {"--version"}).out;
    const QString engine = QStringLiteral("%1.%2").arg(version.MajorVersion()).arg(version.MinorVersion());
    EXPECT_TRUE(banner.contains(QStringLiteral("version ") + engine)) << banner.toStdString();
    EXPECT_EQ(version.DllMajorVersion(), 1);
    EXPECT_TRUE(version.HomePage().startsWith("http")) << version.HomePage().toStdString();
    EXPECT_TRUE(banner.contains(version.HomePage())) << version.HomePage().toStdString();
    EXPECT_TRUE(version.ReleaseDate().isValid());
    EXPECT_EQ(record[264], 0); // the reserved tail is cleared, not left as it was
}

namespace {

// Encodes one second of a 1 kHz tone through a fresh stream and returns the information
// frame's size (-1 on a failed call).
int infoFrameBytes(LameLibrary &lib, const Record &record)
{
    std::uint32_t samples = 0, bytes = 0, handle = 0;
    if (lib.beInitStream(record.data(), &samples, &bytes, &handle) != 0)
        return -1;
    std::vector<std::int16_t> pcm(samples);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>((i / 2) % 44 < 22 ? 8000 : -8000);
    std::vector<std::uint8_t> out(bytes);
    std::uint32_t written = 0;
    int result = 0;
    for (int chunk = 0; chunk < 40 && result == 0; ++chunk)
        result = static_cast<int>(lib.beEncodeChunk(handle, samples, pcm.data(), out.data(), &written));
    result |= static_cast<int>(lib.beDeinitStream(handle, out.data(), &written));
    result |= static_cast<int>(lib.beInfoTag(handle, out.data(), bytes, &written));
    lib.beCloseStream(handle);
    return result == 0 ? static_cast<int>(written) : -1;
}

} // namespace

TEST_F(LameShim, VbrHeaderSwitchDecidesWhetherAnInformationFrameIsMade)
{
    Record record = recordFor(6, 44100);
    EXPECT_GT(infoFrameBytes(*lib, record), 100);
    put32(record, 64, 0);
    EXPECT_EQ(infoFrameBytes(*lib, record), 0);
}

TEST_F(LameShim, InformationFrameIsOnlyGivenAfterTheFlush)
{
    const Record record = recordFor(6, 44100);
    std::uint32_t samples = 0, bytes = 0, handle = 0;
    ASSERT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 0u);
    std::vector<std::uint8_t> out(bytes);
    std::uint32_t written = 0;
    EXPECT_EQ(lib->beInfoTag(handle, out.data(), bytes, &written), 4u);
    ASSERT_EQ(lib->beDeinitStream(handle, out.data(), &written), 0u);
    EXPECT_EQ(lib->beInfoTag(handle, out.data(), bytes, &written), 0u);
    EXPECT_EQ(lib->beInfoTag(handle, out.data(), 10, &written), 5u);
    lib->beCloseStream(handle);
}
