// The size and duration texts of the status bar, under French number settings.
#include "display/status_texts.h"

#include "display_test_support.h"

TEST(StatusTexts, SizeThresholdsRoundingAndFormatsAndDurationHalvesToEven)
{
    ScopedLocale french;
    const std::tuple<double, const char *, const char *> sizes[] = {
        {1023, "", "1023 octets"}, {1024, "", "1 Ko"}, {1048575, "", "1024 Ko"}, {1048576, "", "1,0 Mo"},
        {1073741823, "", "1024,0 Mo"}, {1073741824, "", "1,0 Go"}, {12000.0 * 1073741824, "", "12000,0 Go"},
        // Halves round away from zero; negative or between the ranges: empty.
        {1535, "", "1 Ko"}, {1536, "", "2 Ko"}, {1.25 * 1048576, "", "1,3 Mo"}, {-1, "", ""}, {1023.5, "", ""},
        // A given format replaces the default one, except for bytes.
        {1536, "0.00", "1,50 Ko"}, {1.5 * 1048576, "###0", "2 Mo"}, {512, "0.00", "512 octets"},
    };
    for (const auto &[bytes, format, text] : sizes)
        EXPECT_EQ(FormatSize(bytes, QString::fromLatin1(format)), text) << bytes << " " << format;
    const std::pair<std::int32_t, const char *> durations[] = {
        {59499, "0:59"}, {59500, "1:00"}, {3600000, "60:00"}, {1500, "0:02"}, {2500, "0:02"}, {2147483647, "35791:24"}};
    for (const auto &[ms, text] : durations)
        EXPECT_EQ(FormatDuration(ms), text) << ms;
    ScopedLocale english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(FormatSize(1.5 * 1048576), "1.5 Mo");
}
