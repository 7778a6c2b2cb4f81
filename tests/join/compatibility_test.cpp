// The description line of a listed file and the format check that gates the join.
#include "wave_files.h"

static JoinFileInfo record(const QString &name, std::int16_t channels, std::int32_t rateHz, std::int16_t bits)
{
    return {.fileName = name, .channels = channels, .sampleRate = rateHz,
            .blockAlign = static_cast<std::int16_t>(channels * bits / 8), .bitsPerSample = bits};
}

TEST(CheckJoinCompatibility, DescribesEachFileAndLogsTheFirstMismatchOfTheRatePassThenChannelsThenBits)
{
    EXPECT_EQ(DescribeJoinFile(record("/w/a.wav", 2, 22050, 16)), "22khz 16bits Stereo     /w/a.wav");
    const JoinFileInfo a = record("a.wav", 2, 44100, 16);
    const auto error = [](const QString &names, const QString &reason) { return QStringList{"Message d'erreur:", names, reason}; };
    const struct { const char *what; std::vector<JoinFileInfo> files; bool compatible; QStringList lines; } cases[] = {
        {"same format", {a, record("b.wav", 2, 44100, 16)}, true, {}},
        {"rate", {a, record("b.wav", 2, 22050, 16)}, false, error("a.wav and b.wav", "khz Non compatible")},
        // Channels and bits both differ: the channel reason comes first.
        {"channels", {a, record("b.wav", 1, 44100, 8), record("c.wav", 1, 44100, 8)}, false,
         error("a.wav and b.wav", "Channel Non compatible")},
        {"bits", {a, record("b.wav", 2, 44100, 8)}, false, error("a.wav and b.wav", "Bits Non compatible")},
        {"single file", {a}, false, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        LineLog log;
        EXPECT_EQ(CheckJoinCompatibility(c.files, log), c.compatible);
        EXPECT_EQ(log.lines, c.lines);
    }
}

TEST(CheckJoinCompatibility, TheCurrentFileIsDescribedOnlyWithinTheList)
{
    const auto saved = std::pair(JoinFiles, JoinCurrentIndex);
    JoinFiles = {record("/w/a.wav", 2, 44100, 16)};
    JoinCurrentIndex = 0;
    EXPECT_EQ(DescribeJoinFile(), "44khz 16bits Stereo     /w/a.wav");
    for (const std::int16_t outside : {std::int16_t(-1), std::int16_t(1)}) {
        JoinCurrentIndex = outside;
        QString text;
        EXPECT_NE(errorNumberOf([] { DescribeJoinFile(); }, &text), 0) << outside;
        EXPECT_EQ(text, QStringLiteral("L'indice est hors limites"));
    }
    std::tie(JoinFiles, JoinCurrentIndex) = saved;
}
