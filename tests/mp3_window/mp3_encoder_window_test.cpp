// The conversion window before any conversion: its captions and version panel, the preset
// list, the rule that enables the encode button, the two file pickers (real file dialogs,
// answered from the test), and the progress bar's place and drawing.
#include "mp3_window_fixture.h"

#include "../support/tools.h"
#include "mp3/lame_encoder.h"
#include "mp3/window/progress_bar.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <unistd.h>

namespace {

// The file name box of a file dialog, where a user types the name.
QLineEdit *fileNameBox(QFileDialog &dialog)
{
    auto *box = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    EXPECT_NE(box, nullptr);
    return box;
}

// Types path into the dialog and confirms it.
void choose(QFileDialog &dialog, const QString &path)
{
    if (QLineEdit *box = fileNameBox(dialog))
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

TEST_F(Mp3WindowTest, ShowsItsCaptionsAndTheLibrarysVersionWithAFrenchReleaseDate)
{
    ScopedLocale french(frenchLocale());
    Mp3Encoder &w = window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Sonoriel : Conversion Wav --> Mp3 - [Encodeur LAME]"));
    const std::pair<const char *, const char *> captions[] = {
        {"lblSourceFile", "Fichier source Wave :"}, {"cmdPickSource", "Parcourir..."},
        {"lblMp3File", "Fichier Mp3 :"},           {"cmdPickMp3File", "Parcourir..."},
        {"lblPreset", "Options d'encodage :"},     {"lblEncode", "Option d'encodage :"},
        {"cmdEncode", "&Encoder"},                 {"Command1", "Fermer"},
        {"lblVersionDetails", "Détails de l'encodeur LAME :"},
        {"Label1", "Version majeure de la DLL :"}, {"Label2", "Version mineure de la DLL :"},
        {"Label3", "Version majeure :"},           {"Label4", "Version mineure :"},
        {"Label5", "Date de mise à jour :"},       {"Label6", "Site Internet :"},
    };
    for (const auto &[name, caption] : captions)
        EXPECT_EQ(textOf(w, name), QString::fromUtf8(caption)) << name;
    EXPECT_FALSE(encodeEnabled()) << "two empty names";

    // The engine's version and home page are those the lame program reports of the same library.
    ASSERT_TRUE(haveTool("lame"));
    const QString lameVersion = runTool("lame", {"--version"}).out;
    const QString engine = textOf(w, "txtMajorVersion") + QLatin1Char('.') + textOf(w, "txtMinorVersion");
    EXPECT_TRUE(lameVersion.contains(QStringLiteral("version ") + engine)) << lameVersion.toStdString();
    EXPECT_FALSE(textOf(w, "txtHomePage").isEmpty());
    EXPECT_TRUE(lameVersion.contains(textOf(w, "txtHomePage"))) << textOf(w, "txtHomePage").toStdString();
    EXPECT_EQ(textOf(w, "txtDLLMajorVersion"), QString::number(w.encoder().Version().DllMajorVersion()));
    EXPECT_EQ(textOf(w, "txtDLLMinorVersion"), QString::number(w.encoder().Version().DllMinorVersion()));
    const QRegularExpression frenchLongDate(QStringLiteral(
        "^(lundi|mardi|mercredi|jeudi|vendredi|samedi|dimanche) \\d{1,2} (janvier|février|mars|avril|mai|juin|"
        "juillet|août|septembre|octobre|novembre|décembre) \\d{4}$"));
    EXPECT_TRUE(frenchLongDate.match(textOf(w, "txtReleaseDate")).hasMatch())
        << textOf(w, "txtReleaseDate").toStdString();
}

TEST_F(Mp3WindowTest, OffersSixteenPresetsStartsOnStandardQualityAndPassesTheChosenValue)
{
    QComboBox *presets = control<QComboBox>("cboOption");
    ASSERT_NE(presets, nullptr);
    EXPECT_EQ(presets->count(), 16);
    EXPECT_EQ(presets->currentIndex(), 3);
    EXPECT_EQ(presets->currentText(), QStringLiteral("Qualité Standard (VBR 44.1kHz, 170-210kbps)"));
    EXPECT_EQ(window().encoder().EncodingPreset(), 6);

    presets->setCurrentIndex(7);
    EXPECT_EQ(presets->currentText(), QStringLiteral("Insane (CBR 44.1kHz 320kbps)"));
    EXPECT_EQ(window().encoder().EncodingPreset(), 10);
    presets->setCurrentIndex(0);
    EXPECT_EQ(presets->currentText(), QStringLiteral("(Défaut)"));
    EXPECT_EQ(window().encoder().EncodingPreset(), -1);
}

TEST_F(Mp3WindowTest, EncodeButtonIsEnabledOnlyForAnExistingSourceAndAFreshTargetName)
{
    const QString source = folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(4000, 1)));
    const QString taken = folder.write(QStringLiteral("taken.mp3"), QByteArray("ID3"));
    const struct {
        const char *what;
        QString source, target;
        bool enabled;
    } cases[] = {
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

// The names a file dialog lists in its current folder.
static QStringList listedNames(QFileDialog &dialog)
{
    QStringList names;
    auto *view = dialog.findChild<QAbstractItemView *>(QStringLiteral("listView"));
    if (!view)
        return names;
    waitUntil([&] { return view->model()->rowCount(view->rootIndex()) > 0; }, std::chrono::seconds(5));
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    return names;
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
        EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);
        if (!accept)
            return dialog.reject();
        dialog.setDirectory(QFileInfo(source).absolutePath());
        listed = listedNames(dialog);
        choose(dialog, source);
    });
    click("cmdPickSource");
    EXPECT_EQ(answerer.fileDialogs(), 1);
    EXPECT_TRUE(textOf(window(), "txtSourceFile").isEmpty());
    EXPECT_FALSE(encodeEnabled());

    accept = true;
    click("cmdPickSource");
    EXPECT_EQ(filters, QStringList({"Fichiers Wave (*.WAV)", "Tous les fichiers (*.*)"}));
    EXPECT_EQ(listed, QStringList{"Concert.wav"});
    EXPECT_EQ(textOf(window(), "txtSourceFile"), source);
    EXPECT_TRUE(encodeEnabled());
}

TEST_F(Mp3WindowTest, PickingAnExistingTargetReplacesItAfterTheDialogAsks)
{
    const QString source = folder.write(QStringLiteral("concert.wav"), waveFile({}, patternBytes(4000, 1)));
    const QString existing = folder.write(QStringLiteral("concert.mp3"), QByteArray("old mp3"));
    type("txtSourceFile", source);
    type("txtOutputMp3File", existing);
    EXPECT_FALSE(encodeEnabled()) << "a typed existing name is refused";

    QString proposed;
    QStringList filters;
    DialogAnswerer answerer([&](QFileDialog &dialog) {
        if (QLineEdit *box = fileNameBox(dialog))
            proposed = box->text();
        filters = dialog.nameFilters();
        choose(dialog, existing); // asks whether to replace the file; the answerer says yes
    });
    click("cmdPickMp3File");
    EXPECT_EQ(proposed, QStringLiteral("concert"));
    EXPECT_EQ(filters, QStringList({"Fichiers MP3 (*.mp3)", "Tous les fichiers (*.*)"}));
    EXPECT_EQ(answerer.messages().size(), 1) << "the overwrite question";
    EXPECT_FALSE(QFile::exists(existing));
    EXPECT_EQ(textOf(window(), "txtOutputMp3File"), existing);
    EXPECT_TRUE(encodeEnabled());
}

TEST_F(Mp3WindowTest, PickingTheSourceItselfAsTargetKeepsTheSourceEvenThroughAHardLink)
{
    const QByteArray bytes = waveFile({}, patternBytes(4000, 1));
    const QString source = folder.write(QStringLiteral("concert.wav"), bytes);
    const QString link = QFileInfo(source).absolutePath() + QStringLiteral("/concert.mp3");
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(link).constData()), 0);
    type("txtSourceFile", source);
    for (const QString &target : {source, link}) {
        SCOPED_TRACE(target.toStdString());
        DialogAnswerer answerer([&](QFileDialog &dialog) {
            choose(dialog, target);
        });
        click("cmdPickMp3File");
        EXPECT_EQ(readFileBytes(source), bytes);
        EXPECT_TRUE(QFileInfo::exists(link));
        EXPECT_FALSE(encodeEnabled());
    }
}

TEST_F(Mp3WindowTest, ProgressBarRunsAlongTheBottomEdgeAndFillsFromTheLeft)
{
    Mp3Encoder &w = window();
    w.show();
    for (const QSize size : {w.size(), w.size() + QSize(200, 120)}) {
        w.resize(size);
        ASSERT_TRUE(waitUntil([&] { return w.progressBar().geometry().bottom() == w.height() - 3; }));
        EXPECT_EQ(w.progressBar().geometry(), QRect(2, w.height() - 22, w.width() - 4, 20));
    }

    bool cancel = false;
    w.m_cEncoder_Progress(2500, 5000, cancel);
    const QImage bar = w.progressBar().grab().toImage();
    const int row = 2; // above the text
    EXPECT_EQ(bar.pixelColor(bar.width() / 10, row), w.progressBar().BarColor());
    EXPECT_EQ(bar.pixelColor(bar.width() * 9 / 10, row), w.progressBar().BackColor());
    EXPECT_NE(w.progressBar().BarColor(), w.progressBar().BackColor());
}

TEST_F(Mp3WindowTest, MissingLibraryIsReportedOnceTheWindowIsUpAndTheWindowStaysUsable)
{
    useLibrary(folder.path("nowhere/liblameencshim.so"));
    DialogAnswerer answerer;
    Mp3Encoder &w = window();
    EXPECT_TRUE(textOf(w, "txtMajorVersion").isEmpty());
    w.show();
    ASSERT_TRUE(waitUntil([&] { return !answerer.messages().isEmpty(); }));
    EXPECT_TRUE(answerer.messages().first().startsWith(QStringLiteral("Erreur 53 : "))) <<
        answerer.messages().first().toStdString();

    useNames(folder.write(QStringLiteral("source.wav"), waveFile({}, patternBytes(4000, 1))), QStringLiteral("out.mp3"));
    click("cmdEncode");
    ASSERT_EQ(answerer.messages().size(), 2);
    EXPECT_TRUE(answerer.messages().last().startsWith(QStringLiteral("Erreur 53 : ")));
    EXPECT_EQ(textOf(w, "cmdEncode"), QStringLiteral("&Encoder"));
    EXPECT_TRUE(w.isVisible());
}
