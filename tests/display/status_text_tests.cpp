// The size and duration texts of the status bar, under French number settings.
#include "display/status_texts.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

TEST(SizeText, ThresholdsRoundingGroupingAndGivenFormats)
{
    ScopedLocale french;
    struct Case {
        double bytes;
        const char *format;
        const char *text;
    };
    const Case cases[] = {
        {0, "", "0 octets"}, {1, "", "1 octets"}, {1023, "", "1023 octets"},
        {1024, "", "1 Ko"}, {2047, "", "2 Ko"}, {1048575, "", "1024 Ko"},
        {1048576, "", "1,0 Mo"}, {1.5 * 1048576, "", "1,5 Mo"}, {1073741823, "", "1024,0 Mo"},
        {1073741824, "", "1,0 Go"}, {5.0 * 1073741824, "", "5,0 Go"},
        // Halves round away from zero.
        {1535, "", "1 Ko"}, {1536, "", "2 Ko"}, {2560, "", "3 Ko"},
        {1.25 * 1048576, "", "1,3 Mo"}, {1.35 * 1073741824, "", "1,4 Go"},
        // No thousands grouping.
        {12000.0 * 1073741824, "", "12000,0 Go"},
        // Negative or between the ranges: empty.
        {-1, "", ""}, {1023.5, "", ""}, {1048575.5, "", ""},
        // A given format replaces the default one, except for bytes.
        {1536, "0.00", "1,50 Ko"}, {1.5 * 1048576, "###0", "2 Mo"}, {512, "0.00", "512 octets"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bytes << " " << c.format);
        EXPECT_EQ(FormatSize(c.bytes, QString::fromLatin1(c.format)), c.text);
    }
}

TEST(SizeText, FollowsTheUsersDecimalSeparator)
{
    ScopedLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatSize(1.5 * 1048576), "1.5 Mo");
    EXPECT_EQ(FormatSize(12000.0 * 1073741824), "12000.0 Go");
}

TEST(DurationText, MinutesAndSecondsWithHalvesToEven)
{
    ScopedLocale french;
    const std::pair<std::int32_t, const char *> cases[] = {
        {0, "0:00"}, {59499, "0:59"}, {59500, "1:00"}, {65000, "1:05"}, {3600000, "60:00"},
        {1500, "0:02"}, {2500, "0:02"}, {3500, "0:04"},
        {2147483647, "35791:24"}, // 2147483.647 s rounds to 2147484
    };
    for (const auto &[ms, text] : cases) {
        SCOPED_TRACE(ms);
        EXPECT_EQ(FormatDuration(ms), text);
    }
}
