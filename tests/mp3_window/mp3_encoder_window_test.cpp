// The conversion window before any conversion: its version panel, the preset list, the rule
// that enables the encode button, the two file pickers (real file dialogs, answered from the
// test), and a library that cannot be loaded.
#include "mp3_window_fixture.h"

#include "mp3/lame_encoder.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// Types path into the dialog's file name box and confirms it.
void choose(QFileDialog &dialog, const QString &path)
{
    if (auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        box->setText(path);
    static_cast<QDialog &>(dialog).accept();
}

// The text of a label, box or button.
QString textOf(QWidget &window, const char *name)
{
    QWidget *widget = window.findChild<QWidget *>(QLatin1String(name));
    return widget ? widget->property("text").toString() : QStringLiteral("<no control %1>").arg(QLatin1String(name));
}

} // namespace

TEST_F(Mp3WindowTest, ShowsTheLibrarysVersionWithAFrenchReleaseDateAndStartsOnStandardQuality)
{
    ScopedLocale french;
    Mp3Encoder &w = window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Sonoriel : Conversion Wav --> Mp3 - [Encodeur LAME]"));
    // The engine's version and home page are those the lame program reports of the same library.
    const QString lameVersion = runTool("lame", {"--version"}).out;
    const QString engine = textOf(w, "txtMajorVersion") + QLatin1Char('.') + textOf(w, "txtMinorVersion");
    EXPECT_TRUE(lameVersion.contains(QStringLiteral("version ") + engine)) << lameVersion.toStdString();
    EXPECT_TRUE(!textOf(w, "txtHomePage").isEmpty() && lameVersion.contains(textOf(w, "txtHomePage")));
    const QRegularExpression frenchLongDate(QStringLiteral(
        "^(lundi|mardi|mercredi|jeudi|vendredi|samedi|dimanche) \\d{1,2} (janvier|février|mars|avril|mai|juin|"
        "juillet|août|septembre|octobre|novembre|décembre) \\d{4}$"));
    EXPECT_TRUE(frenchLongDate.match(textOf(w, "txtReleaseDate")).hasMatch()) << textOf(w, "txtReleaseDate").toStdString();

    QComboBox *presets = control<QComboBox>("cboOption");
    EXPECT_EQ(presets->count(), 16);
    EXPECT_EQ(presets->currentText(), QStringLiteral("Qualité Standard (VBR 44.1kHz, 170-210kbps)"));
    EXPECT_EQ(w.encoder().EncodingPreset(), 6);
    for (const auto &[index, preset] : {std::pair{7, 10}, std::pair{0, -1}}) {
        presets->setCurrentIndex(index);
        EXPECT_EQ(w.encoder().EncodingPreset(), preset) << presets->currentText().toStdString();
    }
}

TEST_F(Mp3WindowTest, EncodeButtonIsEnabledOnlyForAnExistingSourceAndAFreshTargetName)
{
    const QString source = folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(4000, 1)));
    const QString taken = folder.write(QStringLiteral("taken.mp3"), QByteArray("ID3"));
    const struct { const char *what; QString source, target; bool enabled; } cases[] = {
        {"fresh name", source, folder.path("out.mp3"), true},
        {"three characters", source, folder.path("abc"), true},
        {"two characters", source, folder.path("ab"), false},
        {"existing target", source, taken, false},
        {"missing folder", source, folder.path("nowhere/out.mp3"), false},
        {"no folder at all", source, QStringLiteral("out.mp3"), false},
        {"missing source", folder.path("missing.wav"), folder.path("out.mp3"), false},
        {"folder as source", folder.path(""), folder.path("out.mp3"), false},
    };
    for (const auto &c : cases) {
        type("txtSourceFile", c.source);
        type("txtOutputMp3File", c.target);
        EXPECT_EQ(encodeEnabled(), c.enabled) << c.what;
        if (c.enabled) {
            EXPECT_EQ(window().encoder().WavFile(), c.source) << c.what;
            EXPECT_EQ(window().encoder().Mp3File(), c.target) << c.what;
        }
    }
}

TEST_F(Mp3WindowTest, SourcePickerListsWaveFilesWhateverTheirCaseAndCancellingChangesNothing)
{
    const QString source = folder.write(QStringLiteral("Concert.wav"), waveFile({}, patternBytes(4000, 1)));
    folder.write(QStringLiteral("notes.txt"), QByteArray("notes"));
    type("txtOutputMp3File", folder.path("out.mp3"));
    QStringList filters, listed;
    bool accept = false;
    DialogAnswerer answerer([&](QFileDialog &dialog) {
        filters = dialog.nameFilters();
        if (!accept)
            return dialog.reject();
        dialog.setDirectory(QFileInfo(source).absolutePath());
        auto *view = dialog.findChild<QAbstractItemView *>(QStringLiteral("listView"));
        waitUntil([&] { return view && view->model()->rowCount(view->rootIndex()) > 0; }, std::chrono::seconds(5));
        listed.clear(); // a dialog still loading its folder is answered again
        for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
            listed << view->model()->index(row, 0, view->rootIndex()).data().toString();
        choose(dialog, source);
    });
    click("cmdPickSource");
    EXPECT_EQ(answerer.fileDialogs(), 1);
    EXPECT_TRUE(textOf(window(), "txtSourceFile").isEmpty());
    accept = true;
    click("cmdPickSource");
    EXPECT_EQ(filters, QStringList({"Fichiers Wave (*.WAV)", "Tous les fichiers (*.*)"}));
    EXPECT_EQ(listed, QStringList{"Concert.wav"});
    EXPECT_EQ(textOf(window(), "txtSourceFile"), source);
    EXPECT_TRUE(encodeEnabled());
}

TEST_F(Mp3WindowTest, TargetPickerReplacesAnExistingFileAfterAskingButNeverTheSourceEvenThroughAHardLink)
{
    const QByteArray bytes = waveFile({}, patternBytes(4000, 1));
    const QString source = folder.write(QStringLiteral("concert.wav"), bytes);
    const QString existing = folder.write(QStringLiteral("old.mp3"), QByteArray("old mp3"));
    type("txtSourceFile", source);
    QString proposed;
    {
        DialogAnswerer answerer([&](QFileDialog &dialog) {
            if (auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                proposed = box->text();
            choose(dialog, existing); // asks whether to replace the file; the answerer says yes
        });
        click("cmdPickMp3File");
        EXPECT_EQ(proposed, QStringLiteral("concert"));
        EXPECT_EQ(answerer.messages().size(), 1) << "the overwrite question";
        EXPECT_FALSE(QFile::exists(existing));
        EXPECT_EQ(textOf(window(), "txtOutputMp3File"), existing);
        EXPECT_TRUE(encodeEnabled());
    }

    type("txtOutputMp3File", QString());
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
    useLibrary(folder.path("nowhere/liblameencshim.so"));
    DialogAnswerer answerer;
    Mp3Encoder &w = window();
    EXPECT_TRUE(textOf(w, "txtMajorVersion").isEmpty());
    w.show();
    ASSERT_TRUE(waitUntil([&] { return !answerer.messages().isEmpty(); }));
    EXPECT_TRUE(answerer.messages().first().startsWith(QStringLiteral("Erreur 53 : "))) << answerer.messages().first().toStdString();
    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(4000, 1))), QStringLiteral("out.mp3"));
    click("cmdEncode");
    ASSERT_EQ(answerer.messages().size(), 2);
    EXPECT_TRUE(answerer.messages().last().startsWith(QStringLiteral("Erreur 53 : ")));
    EXPECT_EQ(textOf(w, "cmdEncode"), QStringLiteral("&Encoder"));
    EXPECT_TRUE(w.isVisible());
}
