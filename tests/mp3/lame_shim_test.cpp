// liblameencshim itself, loaded as the program loads it: the presets and the handle rules.
#include "mp3/lame_encoder.h"
#include "mp3/lame_library.h"

#include "mp3_fixtures.h"

#include <algorithm>

using Record = std::array<std::uint8_t, cLameEncoder::kConfigBytes>;

static Record recordFor(std::int32_t preset = 6, std::int32_t rateHz = 44100)
{
    cLameEncoder encoder;
    encoder.setEncodingPreset(preset);
    encoder.setsamplerate(rateHz);
    return encoder.configurationRecord();
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
    // A record that is not a LAME configuration opens nothing.
    Record record = recordFor();
    std::fill_n(record.begin(), 4, std::uint8_t{0});
    std::uint32_t samples = 7, bytes = 7, handle = 7;
    EXPECT_EQ(lib->beInitStream(record.data(), &samples, &bytes, &handle), 1u);
    EXPECT_EQ(handle, 0u);
}

TEST_F(LameShim, HandlesAndSampleCountsAreChecked)
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

    EXPECT_EQ(lib->beCloseStream(open().handle), 0u); // and a new stream opens
}
