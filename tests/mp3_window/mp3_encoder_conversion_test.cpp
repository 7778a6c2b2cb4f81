// Conversions started from the window with the real encoder library: the progress text in the
// user's locale, the window staying responsive while it converts, what lame --decode makes of
// the file, "Annuler" and "Fermer" during a conversion, and the encoder's errors shown in a
// message box after which the window goes on working.
#include "mp3_window_fixture.h"

#include "mp3/window/progress_bar.h"
#include "platform/library/shared_library.h"

#include <QFile>
#include <QPushButton>

namespace {

// Presses button at the conversion's first yield only.
std::function<void(Mp3WindowTest &)> pressOnce(bool &pressed, const char *button)
{
    return [&pressed, button](Mp3WindowTest &t) {
        if (!std::exchange(pressed, true))
            t.click(button);
    };
}

} // namespace

TEST_F(Mp3WindowTest, ConversionStaysResponsiveShowsItsProgressInFrenchAndWritesTheTone)
{
    ScopedLocale french;
    bool cancel = true;
    window().m_cEncoder_Progress(1234, 5000, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 24,7%"));

    useNames(toneFile(2.0));
    const std::vector<Glimpse> glimpses = encode();
    ASSERT_GT(glimpses.size(), 10u) << "the window took input between chunks";
    int intermediate = 0;
    for (const Glimpse &g : glimpses) {
        EXPECT_EQ(g.encodeCaption, QStringLiteral("Annuler"));
        EXPECT_FALSE(g.encodeFrameEnabled);
        intermediate += g.barText.startsWith(QStringLiteral("Encodage en cours... ")) && !g.barText.endsWith("100,0%");
    }
    EXPECT_GT(intermediate, 5);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
    EXPECT_EQ(control<QPushButton>("cmdEncode")->text(), QStringLiteral("&Encoder"));
    EXPECT_TRUE(control<QWidget>("picEncode")->isEnabled());
    EXPECT_TRUE(encodeEnabled()) << "the names did not change";
    const Heard heard = hearWithLame(folder.path("concert.mp3"), folder.path("decoded.wav"));
    EXPECT_NEAR(heard.info.seconds, 2.0, 0.03);
    EXPECT_NEAR(heard.leftHz, 440.0, 4.4);
    EXPECT_NEAR(heard.rightHz, 1000.0, 10.0);

    // A source without audio ends at 100 % too.
    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, QByteArray())), QStringLiteral("silence.mp3"));
    DialogAnswerer answerer;
    encode();
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
}

TEST_F(Mp3WindowTest, AnnulerStopsTheConversionAndLeavesNoFileUnlessTheLastChunkWasUnderWay)
{
    ScopedLocale french;
    useNames(toneFile(5.0));
    bool pressed = false;
    const std::vector<Glimpse> glimpses = encode(pressOnce(pressed, "cmdEncode"));
    EXPECT_TRUE(pressed);
    EXPECT_LE(glimpses.size(), 3u) << "the cancel is seen at the next chunk";
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage annulé"));
    EXPECT_FALSE(QFile::exists(folder.path("concert.mp3")));
    EXPECT_TRUE(encodeEnabled());

    // One and a half chunks of 1152 frames: one full chunk, then the final block and the flush.
    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(1728 * 4, 3))), QStringLiteral("short.mp3"));
    pressed = false;
    encode(pressOnce(pressed, "cmdEncode"));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
    EXPECT_GT(ffprobeInfo(folder.path("short.mp3")).seconds, 0.0);
}

TEST_F(Mp3WindowTest, FermerDuringAConversionCancelsItAndThenClosesTheWindow)
{
    useNames(toneFile(5.0));
    window().show();
    bool pressed = false;
    encode([&](Mp3WindowTest &t) {
        if (std::exchange(pressed, true))
            return;
        t.click("Command1");
        EXPECT_TRUE(t.window().isVisible()) << "the window waits for the conversion to wind up";
    });
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isConverting());
    EXPECT_FALSE(QFile::exists(folder.path("concert.mp3")));
}

TEST_F(Mp3WindowTest, LibraryFailureIsShownWithItsNumberAndTheNextConversionSucceeds)
{
    useLibrary(faultShimPath());
    SharedLibrary faults;
    ASSERT_TRUE(faults.open(faultShimPath()));
    const auto symbol = [&](const char *name) {
        const Result<void *> found = faults.symbol(name);
        EXPECT_TRUE(found) << name;
        return found ? *found : nullptr;
    };
    auto failEncodeAt = reinterpret_cast<void (*)(std::uint32_t, std::uint32_t)>(symbol("faultShimFailEncodeAt"));
    auto reset = reinterpret_cast<void (*)()>(symbol("faultShimReset"));
    auto openStreams = reinterpret_cast<int (*)()>(symbol("faultShimOpenStreams"));
    ASSERT_TRUE(failEncodeAt && reset && openStreams);
    reset();
    useNames(toneFile(1.0));
    DialogAnswerer answerer;
    failEncodeAt(3, 5);
    encode();
    EXPECT_EQ(answerer.messages(), QStringList{QStringLiteral("Erreur 29775 : Buffer is too small")});
    EXPECT_EQ(openStreams(), 0);
    EXPECT_EQ(control<QPushButton>("cmdEncode")->text(), QStringLiteral("&Encoder"));
    ASSERT_TRUE(encodeEnabled());
    reset();
    encode();
    EXPECT_EQ(answerer.messages().size(), 1);
    EXPECT_NEAR(hearWithLame(folder.path("concert.mp3"), folder.path("decoded.wav")).info.seconds, 1.0, 0.03);
}
