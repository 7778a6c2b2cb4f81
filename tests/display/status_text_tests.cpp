// The size and duration texts of the status bar, under French number settings.
#include "display/status_texts.h"

#include "display_test_support.h"

#include <gtest/gtest.h>

TEST(SizeText, EveryThresholdUnderFrenchSettings)
{
    FrenchLocale french;
    EXPECT_EQ(FormatSize(0), "0 octets");
    EXPECT_EQ(FormatSize(1), "1 octets");
    EXPECT_EQ(FormatSize(512), "512 octets");
    EXPECT_EQ(FormatSize(1023), "1023 octets");
    EXPECT_EQ(FormatSize(1024), "1 Ko");
    EXPECT_EQ(FormatSize(2047), "2 Ko");
    EXPECT_EQ(FormatSize(1048575), "1024 Ko");
    EXPECT_EQ(FormatSize(1048576), "1,0 Mo");
    EXPECT_EQ(FormatSize(1.5 * 1048576), "1,5 Mo");
    EXPECT_EQ(FormatSize(1073741823), "1024,0 Mo");
    EXPECT_EQ(FormatSize(1073741824), "1,0 Go");
    EXPECT_EQ(FormatSize(5.0 * 1073741824), "5,0 Go");
}

TEST(SizeText, RoundsHalvesAwayFromZero)
{
    FrenchLocale french;
    EXPECT_EQ(FormatSize(1535), "1 Ko");
    EXPECT_EQ(FormatSize(1536), "2 Ko");         // 1.5
    EXPECT_EQ(FormatSize(2560), "3 Ko");         // 2.5, not 2
    EXPECT_EQ(FormatSize(1.25 * 1048576), "1,3 Mo"); // 1.25, not 1.2
    EXPECT_EQ(FormatSize(1.35 * 1073741824), "1,4 Go");
}

TEST(SizeText, NoThousandsGrouping)
{
    FrenchLocale french;
    EXPECT_EQ(FormatSize(12000.0 * 1073741824), "12000,0 Go");
}

TEST(SizeText, NegativeOrBetweenRangesIsEmpty)
{
    FrenchLocale french;
    EXPECT_EQ(FormatSize(-1), "");
    EXPECT_EQ(FormatSize(1023.5), "");
    EXPECT_EQ(FormatSize(1048575.5), "");
}

TEST(SizeText, GivenFormatReplacesTheDefaultOne)
{
    FrenchLocale french;
    EXPECT_EQ(FormatSize(1536, "0.00"), "1,50 Ko");
    EXPECT_EQ(FormatSize(1.5 * 1048576, "###0"), "2 Mo");
    EXPECT_EQ(FormatSize(512, "0.00"), "512 octets");
}

TEST(SizeText, FollowsTheUsersDecimalSeparator)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatSize(1.5 * 1048576), "1.5 Mo");
    EXPECT_EQ(FormatSize(12000.0 * 1073741824), "12000.0 Go");
    QLocale::setDefault(previous);
}

TEST(DurationText, MinutesAndRoundedSeconds)
{
    FrenchLocale french;
    EXPECT_EQ(FormatDuration(0), "0:00");
    EXPECT_EQ(FormatDuration(59499), "0:59");
    EXPECT_EQ(FormatDuration(59500), "1:00");
    EXPECT_EQ(FormatDuration(65000), "1:05");
    EXPECT_EQ(FormatDuration(3600000), "60:00");
}

TEST(DurationText, HalfSecondsRoundToEven)
{
    FrenchLocale french;
    EXPECT_EQ(FormatDuration(2500), "0:02");
    EXPECT_EQ(FormatDuration(1500), "0:02");
    EXPECT_EQ(FormatDuration(3500), "0:04");
}

TEST(DurationText, LongRecordingsKeepCountingMinutes)
{
    FrenchLocale french;
    EXPECT_EQ(FormatDuration(2147483647), "35791:24"); // 2147483.647 s rounds to 2147484
}
