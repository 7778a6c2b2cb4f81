// Conversions started from the window with the real encoder library: the progress text in the
// user's locale, the window staying responsive while it converts, what lame --decode and ffprobe
// make of the file, "Annuler" and "Fermer" during a conversion, and the encoder's errors shown
// in a message box after which the window goes on working.
#include "mp3_window_fixture.h"

#include "../support/tools.h"
#include "mp3/window/progress_bar.h"
#include "platform/library/shared_library.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>

namespace {

const QString kCancelled = QStringLiteral("Encodage annulé");

// Presses button at the conversion's first yield only.
std::function<void(Mp3WindowTest &)> pressOnce(bool &pressed, const char *button)
{
    return [&pressed, button](Mp3WindowTest &t) {
        if (!std::exchange(pressed, true))
            t.click(button);
    };
}

bool isIntermediate(const QString &text)
{
    return text.startsWith(QStringLiteral("Encodage en cours... ")) && !text.endsWith(QStringLiteral("100,0%")) &&
           !text.endsWith(QStringLiteral(" 0,0%"));
}

} // namespace

TEST_F(Mp3WindowTest, ProgressTextUsesTheFrenchDecimalCommaAndASourceWithoutAudioEndsAt100)
{
    ScopedLocale french(frenchLocale());
    bool cancel = true;
    window().m_cEncoder_Progress(1234, 5000, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 24,7%"));
    window().m_cEncoder_Progress(0, 5000, cancel);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 0,0%"));

    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, QByteArray())), QStringLiteral("silence.mp3"));
    DialogAnswerer answerer;
    encode();
    EXPECT_TRUE(answerer.messages().isEmpty()) << answerer.messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
    EXPECT_EQ(window().progressBar().Percent(), 100.0);
}

TEST_F(Mp3WindowTest, ConversionStaysResponsiveReachesOneHundredPercentAndWritesTheTone)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("lame"));
    ScopedLocale french(frenchLocale());
    useNames(toneFile(2.0));
    ASSERT_TRUE(encodeEnabled());

    const std::vector<Glimpse> glimpses = encode();
    ASSERT_GT(glimpses.size(), 10u) << "the window took input between chunks";
    int intermediate = 0;
    for (const Glimpse &g : glimpses) {
        EXPECT_EQ(g.encodeCaption, QStringLiteral("Annuler"));
        EXPECT_FALSE(g.encodeFrameEnabled);
        intermediate += isIntermediate(g.barText);
    }
    EXPECT_GT(intermediate, 5);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
    EXPECT_EQ(control<QPushButton>("cmdEncode")->text(), QStringLiteral("&Encoder"));
    EXPECT_TRUE(control<QWidget>("picEncode")->isEnabled());

    const DecodedSound sound = decodeWithLame(folder.path("concert.mp3"), folder.path("decoded.wav"));
    ASSERT_EQ(sound.channels, 2);
    EXPECT_NEAR(static_cast<double>(sound.frames()) / sound.rateHz, 2.0, 0.03);
    EXPECT_NEAR(toneFrequencyHz(sound, 0), 440.0, 4.4);
    EXPECT_NEAR(toneFrequencyHz(sound, 1), 1000.0, 10.0);
}

TEST_F(Mp3WindowTest, SecondConversionWithTheSameNamesReplacesTheFirstFile)
{
    ASSERT_TRUE(haveTool("sox") && haveTool("ffprobe"));
    useNames(toneFile(2.0));
    control<QComboBox>("cboOption")->setCurrentIndex(9); // "Basse Qualité (CBR 44.1kHz, 128kbps)"
    encode();
    EXPECT_NEAR(ffprobeBitRate(folder.path("concert.mp3")), 128000, 2000);

    ASSERT_TRUE(encodeEnabled()) << "the names did not change";
    control<QComboBox>("cboOption")->setCurrentIndex(7); // "Insane (CBR 44.1kHz 320kbps)"
    encode();
    EXPECT_NEAR(ffprobeBitRate(folder.path("concert.mp3")), 320000, 2000);
}

TEST_F(Mp3WindowTest, AnnulerStopsTheConversionAndLeavesNoFile)
{
    ASSERT_TRUE(haveTool("sox"));
    useNames(toneFile(5.0));
    bool pressed = false;
    const std::vector<Glimpse> glimpses = encode(pressOnce(pressed, "cmdEncode"));
    EXPECT_TRUE(pressed);
    EXPECT_LE(glimpses.size(), 3u) << "the cancel is seen at the next chunk";
    EXPECT_EQ(window().progressBar().Text(), kCancelled);
    EXPECT_EQ(window().progressBar().Percent(), 100.0);
    EXPECT_FALSE(QFile::exists(folder.path("concert.mp3")));
    EXPECT_EQ(control<QPushButton>("cmdEncode")->text(), QStringLiteral("&Encoder"));
    EXPECT_TRUE(encodeEnabled());
}

TEST_F(Mp3WindowTest, AnnulerPressedDuringTheLastChunkKeepsTheFinishedFileAndSaysSo)
{
    ASSERT_TRUE(haveTool("ffprobe"));
    ScopedLocale french(frenchLocale());
    // One and a half chunks of 1152 frames: one full chunk, then the final block and the flush.
    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(1728 * 4, 3))));
    bool pressed = false;
    encode(pressOnce(pressed, "cmdEncode"));
    EXPECT_TRUE(pressed);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
    EXPECT_GT(ffprobeInfo(folder.path("concert.mp3")).seconds, 0.0);
}

TEST_F(Mp3WindowTest, FermerDuringAConversionCancelsItAndThenClosesTheWindow)
{
    ASSERT_TRUE(haveTool("sox"));
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
    ASSERT_TRUE(haveTool("sox") && haveTool("lame"));
    useLibrary(faultShimPath());
    SharedLibrary faults;
    const Status opened = faults.open(faultShimPath());
    ASSERT_TRUE(opened) << opened.reason().toStdString();
    const Result<void *> failEncodeAtSymbol = faults.symbol("faultShimFailEncodeAt");
    const Result<void *> resetSymbol = faults.symbol("faultShimReset");
    const Result<void *> openStreamsSymbol = faults.symbol("faultShimOpenStreams");
    ASSERT_TRUE(failEncodeAtSymbol && resetSymbol && openStreamsSymbol);
    auto failEncodeAt = reinterpret_cast<void (*)(std::uint32_t, std::uint32_t)>(*failEncodeAtSymbol);
    auto reset = reinterpret_cast<void (*)()>(*resetSymbol);
    auto openStreams = reinterpret_cast<int (*)()>(*openStreamsSymbol);
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
    const DecodedSound sound = decodeWithLame(folder.path("concert.mp3"), folder.path("decoded.wav"));
    EXPECT_NEAR(static_cast<double>(sound.frames()) / std::max(sound.rateHz, 1), 1.0, 0.03);
}
