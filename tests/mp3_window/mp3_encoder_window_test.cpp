// The conversion window with the real encoder library: what it adds over the encoder, dialogs answered.
#include "../mp3/mp3_fixtures.h"
#include "../support/scoped_locale.h"

#include "mp3/lame_encoder.h"
#include "mp3/window/mp3_encoder.h"
#include "mp3/window/progress_bar.h"

#include <QtWidgets>

#include <gtest/gtest.h>

#include <unistd.h>

// While it lives, records each message box's text and answers it "Oui" or "OK"; a file dialog
// goes to the handler, or is rejected when there is none.
struct DialogAnswerer {
    explicit DialogAnswerer(std::function<void(QFileDialog &)> handler = {}) : m_handler(std::move(handler))
    { QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); }); m_timer.start(20); }
    QStringList messages;
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            messages << box->text();
            (box->button(QMessageBox::Yes) ? box->button(QMessageBox::Yes) : box->button(QMessageBox::Ok))->click();
            return;
        }
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        if (!dialog || m_queued)
            return;
        // Answered from the dialog's own loop: accepting may open a question that needs this timer.
        m_queued = true;
        QTimer::singleShot(0, &m_timer, [this, target = QPointer<QFileDialog>(dialog)] {
            m_queued = false;
            if (target)
                m_handler ? m_handler(*target) : target->reject();
        });
    }
    std::function<void(QFileDialog &)> m_handler;
    QTimer m_timer;
    bool m_queued = false;
};

// Types path into the dialog's file name box and confirms it.
static void choose(QFileDialog &dialog, const QString &path)
{
    dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
    static_cast<QDialog &>(dialog).accept();
}

struct Mp3WindowTest : ::testing::Test {
    Mp3Encoder &window() { return m_window ? *m_window : *(m_window = std::make_unique<Mp3Encoder>()); }
    QString text(const char *name) { return window().findChild<QWidget *>(name)->property("text").toString(); }
    void type(const char *box, const QString &text) { window().findChild<QLineEdit *>(box)->setText(text); }
    void useNames(const QString &source, const QString &mp3Name = QStringLiteral("concert.mp3"))
    { type("txtSourceFile", source); type("txtOutputMp3File", folder.path(mp3Name)); }
    bool encodeEnabled() { return window().findChild<QPushButton *>("cmdEncode")->isEnabled(); }
    void click(const char *button) { window().findChild<QPushButton *>(button)->click(); }
    QString toneFile(double seconds)
    {
        EXPECT_TRUE(writeToneFile(folder.path("concert.wav"), 44100, seconds));
        return folder.path("concert.wav");
    }
    // Clicks "&Encoder"; each time the conversion lets the loop run, records the progress and runs duringConversion.
    QStringList encode(const std::function<void()> &duringConversion = [] {})
    {
        QStringList texts;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            texts << window().progressBar().Text();
            EXPECT_EQ(text("cmdEncode"), QStringLiteral("Annuler"));
            EXPECT_FALSE(window().findChild<QFrame *>("picEncode")->isEnabled());
            duringConversion();
        });
        watcher.start(0);
        click("cmdEncode");
        return texts;
    }

    TestFolder folder;
    std::unique_ptr<ScopedEnvironment> shim = std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", realShimPath());
    std::unique_ptr<Mp3Encoder> m_window;
};

TEST_F(Mp3WindowTest, ShowsTheVersionTheLameProgramReportsWithAFrenchReleaseDate)
{
    ScopedLocale french;
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Sonoriel : Conversion Wav --> Mp3 - [Encodeur LAME]"));
    const QString lameVersion = runTool("lame", {"--version"}).out;
    EXPECT_TRUE(lameVersion.contains("version " + text("txtMajorVersion") + "." + text("txtMinorVersion")))
        << lameVersion.toStdString();
    EXPECT_TRUE(!text("txtHomePage").isEmpty() && lameVersion.contains(text("txtHomePage")));
    const QRegularExpression frenchLongDate(QStringLiteral(
        "^(lundi|mardi|mercredi|jeudi|vendredi|samedi|dimanche) \\d{1,2} (janvier|février|mars|avril|mai|juin|"
        "juillet|août|septembre|octobre|novembre|décembre) \\d{4}$"));
    EXPECT_TRUE(frenchLongDate.match(text("txtReleaseDate")).hasMatch()) << text("txtReleaseDate").toStdString();
}

TEST_F(Mp3WindowTest, EncodeButtonIsEnabledOnlyForAnExistingSourceAndAFreshTargetName)
{
    const QString source = folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(4000, 1)));
    const struct { const char *what; QString source, target; bool enabled; } cases[] = {
        {"fresh name", source, folder.path("out.mp3"), true},
        {"two characters", source, folder.path("ab"), false},
        {"existing target", source, folder.write(QStringLiteral("taken.mp3"), QByteArray("ID3")), false},
        {"missing folder", source, folder.path("nowhere/out.mp3"), false},
        {"missing source", folder.path("missing.wav"), folder.path("out.mp3"), false},
    };
    for (const auto &c : cases) {
        type("txtSourceFile", c.source);
        type("txtOutputMp3File", c.target);
        EXPECT_EQ(encodeEnabled(), c.enabled) << c.what;
        if (c.enabled) { EXPECT_EQ(window().encoder().Mp3File(), c.target); }
    }
}

TEST_F(Mp3WindowTest, TargetPickerReplacesAnExistingFileAfterAskingButNeverTheSourceEvenThroughAHardLink)
{
    const QByteArray bytes = waveFile({}, patternBytes(4000, 1));
    const QString source = folder.write(QStringLiteral("concert.wav"), bytes);
    const QString existing = folder.write(QStringLiteral("old.mp3"), QByteArray("old mp3"));
    type("txtSourceFile", source);
    {
        DialogAnswerer cancel; // a dialog cancelled changes nothing
        click("cmdPickMp3File");
        EXPECT_TRUE(text("txtOutputMp3File").isEmpty());
    }
    {
        DialogAnswerer answerer([&](QFileDialog &dialog) { choose(dialog, existing); });
        click("cmdPickMp3File");
        EXPECT_EQ(answerer.messages.size(), 1) << "the overwrite question";
        EXPECT_FALSE(QFile::exists(existing));
        EXPECT_EQ(text("txtOutputMp3File"), existing);
        EXPECT_TRUE(encodeEnabled());
    }
    const QString link = folder.path("concert.mp3");
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(link).constData()), 0);
    for (const QString &target : {source, link}) {
        SCOPED_TRACE(target.toStdString());
        DialogAnswerer same([&](QFileDialog &dialog) { choose(dialog, target); });
        click("cmdPickMp3File");
        EXPECT_EQ(readFileBytes(source), bytes);
        EXPECT_TRUE(QFileInfo::exists(link));
        EXPECT_FALSE(encodeEnabled());
    }
}

TEST_F(Mp3WindowTest, MissingLibraryIsReportedOnceTheWindowIsUpAndTheWindowStaysUsable)
{
    shim.reset(); // restore first, so that the new choice is not undone
    shim = std::make_unique<ScopedEnvironment>("SONORIEL_LAME_SHIM", folder.path("nowhere/liblameencshim.so"));
    DialogAnswerer answerer;
    window().show();
    ASSERT_TRUE(waitUntil([&] { return !answerer.messages.isEmpty(); }));
    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(4000, 1))));
    click("cmdEncode");
    ASSERT_EQ(answerer.messages.size(), 2);
    for (const QString &message : answerer.messages)
        EXPECT_TRUE(message.startsWith(QStringLiteral("Erreur 53 : "))) << message.toStdString();
    EXPECT_EQ(text("cmdEncode"), QStringLiteral("&Encoder"));
    EXPECT_TRUE(window().isVisible());
}

TEST_F(Mp3WindowTest, ConversionStaysResponsiveShowsItsProgressInFrenchAndWritesTheTone)
{
    ScopedLocale french;
    useNames(toneFile(2.0));
    const QStringList texts = encode();
    ASSERT_GT(texts.size(), 10) << "the window took input between chunks";
    EXPECT_GT(texts.filter(QRegularExpression(QStringLiteral("^Encodage en cours\\.\\.\\. [1-9]\\d?,\\d%$"))).size(), 5);
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage en cours... 100,0%"));
    EXPECT_EQ(text("cmdEncode"), QStringLiteral("&Encoder"));
    EXPECT_TRUE(window().findChild<QFrame *>("picEncode")->isEnabled());
    EXPECT_TRUE(encodeEnabled()) << "the names did not change";
    const Heard heard = hearWithLame(folder.path("concert.mp3"), folder.path("decoded.wav"));
    EXPECT_NEAR(heard.info.seconds, 2.0, 0.03); // the tone's channels are heard by the conversion tests
}

TEST_F(Mp3WindowTest, AnnulerStopsTheConversionAndFermerCancelsItThenClosesTheWindow)
{
    ScopedLocale french;
    useNames(toneFile(5.0));
    bool pressed = false;
    EXPECT_LE(encode([&] { if (!std::exchange(pressed, true)) click("cmdEncode"); }).size(), 3) << "the cancel is seen at the next chunk";
    EXPECT_EQ(window().progressBar().Text(), QStringLiteral("Encodage annulé"));
    EXPECT_FALSE(QFile::exists(folder.path("concert.mp3")));
    EXPECT_TRUE(encodeEnabled());

    window().show();
    pressed = false;
    encode([&] {
        if (std::exchange(pressed, true))
            return;
        click("Command1");
        EXPECT_TRUE(window().isVisible()) << "the window waits for the conversion to wind up";
    });
    EXPECT_TRUE(pressed);
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().isConverting());
    EXPECT_FALSE(QFile::exists(folder.path("concert.mp3")));
}
