// liblameencshim itself, loaded as the program loads it: the stream operations, the handle
// rules, the configuration record's checks and the version record's tail; the version itself
// is compared with the lame program's through the conversion window.
#include "mp3/lame_encoder.h"
#include "mp3/lame_library.h"

#include "mp3_fixtures.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Record = std::array<std::uint8_t, cLameEncoder::kConfigBytes>;

Record recordFor(std::int32_t preset = 6, std::int32_t rateHz = 44100)
{
    cLameEncoder encoder;
    encoder.setEncodingPreset(preset);
    encoder.setsamplerate(rateHz);
    return encoder.configurationRecord();
}

void put32(Record &record, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        record[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct Stream {
    std::uint32_t result = 0, samples = 0, bytes = 0, handle = 0;
};

class LameShim : public ::testing::Test {
protected:
    Stream open(const Record &record = recordFor())
    {
        Stream s;
        s.result = lib->beInitStream(record.data(), &s.samples, &s.bytes, &s.handle);
        return s;
    }
    ScopedEnvironment shim{"SONORIEL_LAME_SHIM", realShimPath()};
    std::shared_ptr<LameLibrary> lib = LameLibrary::load(QStringLiteral("test"));
};

} // namespace

TEST_F(LameShim, EveryPresetOpensAStreamAndRecordsItCannotUseAreRefusedWithoutAHandle)
{
    for (std::int32_t preset = -1; preset <= 14; ++preset)
        for (const std::int32_t rate : {44100, 22050}) {
            SCOPED_TRACE(testing::Message() << "preset " << preset << " at " << rate << " Hz");
            const Stream s = open(recordFor(preset, rate));
            ASSERT_EQ(s.result, 0u);
            EXPECT_GT(s.samples, 0u);
            EXPECT_GE(s.bytes, 7200u);
            EXPECT_EQ(lib->beCloseStream(s.handle), 0u);
        }
    EXPECT_EQ(open().samples, 2304u); // one MPEG-1 frame of stereo samples
    const struct { std::size_t offset; std::uint32_t value, result; } refused[] = {
        {0, 0, 1},   // a Blade MP3 record rather than a LAME one
        {8, 300, 1}, // another record size
        {12, 0, 2},  // no input rate
        {20, 4, 2},  // no such stereo mode
        {32, 15, 2}, // preset outside the list
        {32, 0xFFFFFF9Cu, 2},
    };
    for (const auto &c : refused) {
        SCOPED_TRACE(testing::Message() << "offset " << c.offset << " value " << c.value);
        Record record = recordFor();
        put32(record, c.offset, c.value);
        std::uint32_t samples = 7, bytes = 7, handle = 7;
        EXPECT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), c.result);
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(samples, 0u);
    }
}

TEST_F(LameShim, HandlesAndSampleCountsAreCheckedAndHandlesRunOutInsteadOfGrowingWithoutEnd)
{
    const Stream s = open();
    std::vector<std::uint8_t> out(s.bytes);
    std::vector<std::int16_t> pcm(s.samples * 2, 0);
    std::uint32_t written = 0;
    EXPECT_EQ(lib->beEncodeChunk(s.handle, 3, pcm.data(), out.data(), &written), 2u);
    EXPECT_EQ(lib->beEncodeChunk(s.handle, s.samples * 2, pcm.data(), out.data(), &written), 5u);
    EXPECT_EQ(lib->beEncodeChunk(s.handle, s.samples, pcm.data(), out.data(), &written), 0u);
    EXPECT_EQ(lib->beCloseStream(s.handle), 0u);
    EXPECT_EQ(lib->beCloseStream(s.handle), 4u);
    EXPECT_EQ(lib->beEncodeChunk(s.handle, s.samples, pcm.data(), out.data(), &written), 4u);
    EXPECT_EQ(lib->beDeinitStream(s.handle + 1000, out.data(), &written), 4u);

    std::vector<std::uint32_t> handles;
    Stream next;
    for (int i = 0; i < 1000 && next.result == 0; ++i)
        if ((next = open()).result == 0)
            handles.push_back(next.handle);
    EXPECT_EQ(next.result, 3u);
    EXPECT_GE(handles.size(), 2u);
    for (const std::uint32_t handle : handles)
        EXPECT_EQ(lib->beCloseStream(handle), 0u);
    next = open();
    EXPECT_EQ(next.result, 0u);
    lib->beCloseStream(next.handle);
}

TEST_F(LameShim, VersionRecordClearsItsReservedTail)
{
    std::array<std::uint8_t, 265> record{};
    record.fill(0xEE);
    lib->beVersion(record.data());
    EXPECT_EQ(cLameEncoderVersion(record).DllMajorVersion(), 1);
    EXPECT_EQ(record[264], 0); // not left as it was
}
