// "Créer le fichier Wav": the format check logs its mismatch, a join of matching files is
// written through the save dialog, listed and logged, and the produced file can be graphed.
#include "join_window_support.h"

#include "../support/tools.h"

#include "join/join_engine.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace {

using JoinWindowJoin = JoinWindowTest;

} // namespace

TEST_F(JoinWindowJoin, AMismatchedRateLogsItsReasonAndAsksForNoFile)
{
    const QString first = writeFile("first.wav", waveFile({2, 44100, 16}, patternFrames({2, 44100, 16}, 100, 1)));
    const QString second = writeFile("second.wav", waveFile({2, 22050, 16}, patternFrames({2, 22050, 16}, 100, 2)));
    addFile(first);
    addFile(second);
    const int logged = int(lines("lstCommands").size());
    const auto dialogsBefore = dialogs().seen().size();
    click("cmdMakeNewFile");
    EXPECT_EQ(lines("lstCommands").mid(logged),
              (QStringList{"Message d'erreur:", first + " and " + second, "khz Non compatible"}));
    EXPECT_EQ(dialogs().seen().size(), dialogsBefore);
    EXPECT_TRUE(lines("lstNewFiles").isEmpty());
    EXPECT_EQ(JoinCurrentIndex, 0);
}

TEST_F(JoinWindowJoin, AJoinIsWrittenInListOrderListedAndLogged)
{
    const WaveLayout stereo{2, 44100, 16};
    const QByteArray firstData = patternFrames(stereo, 1000, 1);
    const QByteArray secondData = patternFrames(stereo, 500, 2);
    const QString first = writeFile("first.wav", waveFile(stereo, firstData));
    const QString second = writeFile("second.wav", waveFile(stereo, secondData));
    // Added in the other order, then moved: the join follows the list as it stands.
    addFile(second);
    addFile(first);
    click("cmdUp");

    const QString output = wavFolder() + QStringLiteral("/joined"); // used as typed, no extension added
    dialogs().queue(DialogAnswer::choose(output));
    const int logged = int(lines("lstCommands").size());
    click("cmdMakeNewFile");
    ASSERT_TRUE(dialogs().seen().back().saving);
    EXPECT_EQ(dialogs().seen().back().filters, QStringList{QStringLiteral("Fichiers Wave (*.wav)")});
    EXPECT_EQ(lines("lstNewFiles"), QStringList{output});
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier enregistré:", " " + output}));

    const QByteArray written = readFileBytes(output);
    ASSERT_EQ(written.size(), 44 + 6000);
    EXPECT_EQ(written, waveFile(stereo, firstData + secondData));
    ASSERT_TRUE(haveTool(QStringLiteral("sox")));
    EXPECT_EQ(runTool(QStringLiteral("sox"), {"--i", "-s", output}).out.trimmed(), QStringLiteral("1500"));
    const MediaInfo probed = soxInfo(output);
    EXPECT_EQ(probed.rateHz, 44100);
    EXPECT_EQ(probed.channels, 2);
}

TEST_F(JoinWindowJoin, DoubleClickingAProducedFileGraphsItAndNamesIt)
{
    const WaveLayout mono{1, 8000, 16};
    addFile(writeFile("a.wav", waveFile(mono, constantFrames(mono, 100, 17000))));
    addFile(writeFile("b.wav", waveFile(mono, constantFrames(mono, 100, 17000))));
    const QString output = wavFolder() + QStringLiteral("/joined.wav");
    dialogs().queue(DialogAnswer::choose(output));
    click("cmdMakeNewFile");
    ASSERT_EQ(list("lstNewFiles").count(), 1);

    // Another file's graph first, so that the produced file's drawing shows.
    const WaveLayout stereo{2, 44100, 16};
    addFile(writeFile("stereo.wav", waveFile(stereo, constantFrames(stereo, 10, 0))));
    ASSERT_TRUE(box("picRight1").isVisibleTo(&window()));

    QListWidget &produced = list("lstNewFiles");
    const QPoint line = produced.visualItemRect(produced.item(0)).center();
    QTest::mouseClick(produced.viewport(), Qt::LeftButton, {}, line);
    QTest::mouseDClick(produced.viewport(), Qt::LeftButton, {}, line);
    EXPECT_EQ(graphFileName(), output);
    EXPECT_FALSE(box("picRight1").isVisibleTo(&window())) << "the joined file is mono";
    EXPECT_EQ(produced.toolTip(), output);
}

TEST_F(JoinWindowJoin, ChoosingOneOfTheSourcesAsTheOutputLeavesItWholeAndTheLogSaysWhy)
{
    const QByteArray firstBytes = waveFile({}, patternFrames({}, 300, 1));
    const QString first = writeFile("first.wav", firstBytes);
    addFile(first);
    addFile(writeFile("second.wav", waveFile({}, patternFrames({}, 200, 2))));
    const QStringList logBefore = lines("lstCommands");
    dialogs().queue(DialogAnswer::choose(first));
    dialogs().queue(DialogAnswer::yes()); // the save dialog's question about replacing it
    click("cmdMakeNewFile");
    EXPECT_EQ(readFileBytes(first), firstBytes);
    EXPECT_TRUE(lines("lstNewFiles").isEmpty());
    EXPECT_EQ(lines("lstCommands"),
              (logBefore + QStringList{"Message d'erreur:", "Le fichier à créer est l'un des fichiers à joindre : " + first}));
}

TEST_F(JoinWindowJoin, AListTooShortToJoinSaysSoAndAsksForNoFile)
{
    click("cmdMakeNewFile");
    EXPECT_EQ(lines("lstCommands"), (QStringList{"Message d'erreur:", "Pas de fichier à joindre"}));
    addFile(writeFile("only.wav", waveFile({}, patternFrames({}, 100, 1))));
    const int logged = int(lines("lstCommands").size());
    const auto dialogsBefore = dialogs().seen().size();
    click("cmdMakeNewFile");
    EXPECT_EQ(lines("lstCommands").mid(logged),
              (QStringList{"Message d'erreur:", "Un seul fichier dans la liste : il en faut au moins deux à joindre"}));
    EXPECT_EQ(dialogs().seen().size(), dialogsBefore);
    EXPECT_TRUE(lines("lstNewFiles").isEmpty());
}
