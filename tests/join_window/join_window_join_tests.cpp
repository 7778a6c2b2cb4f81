// "Créer le fichier Wav": lists too short or of mismatched formats are logged and ask for no
// file, a join of matching files is written through the save dialog, listed, logged and can be
// graphed, and one of the sources chosen as the output is left whole.
#include "join_window_support.h"

#include "../support/tools.h"

#include "join/join_engine.h"

#include <QTest>

using JoinWindowJoin = JoinWindowTest;

TEST_F(JoinWindowJoin, ListsTooShortOrOfMismatchedRatesAreLoggedAndAskForNoFile)
{
    click("cmdMakeNewFile");
    EXPECT_EQ(lines("lstCommands"), (QStringList{"Message d'erreur:", "Pas de fichier à joindre"}));
    const QString first = writeFile("first.wav", waveFile({2, 44100, 16}, patternBytes(400, 1)));
    addFile(first);
    click("cmdMakeNewFile");
    EXPECT_EQ(lines("lstCommands").mid(4),
              (QStringList{"Message d'erreur:", "Un seul fichier dans la liste : il en faut au moins deux à joindre"}));
    const QString second = writeFile("second.wav", waveFile({2, 22050, 16}, patternBytes(400, 2)));
    addFile(second);
    click("cmdMakeNewFile");
    EXPECT_EQ(lines("lstCommands").mid(8), (QStringList{"Message d'erreur:", first + " and " + second, "khz Non compatible"}));
    EXPECT_EQ(dialogs().seen().size(), 2u); // the two open dialogs only
    EXPECT_TRUE(lines("lstNewFiles").isEmpty());
}

TEST_F(JoinWindowJoin, AJoinIsWrittenInListOrderListedLoggedAndGraphedOnADoubleClick)
{
    const WaveLayout stereo{2, 44100, 16};
    const QByteArray firstData = patternBytes(4000, 1), secondData = patternBytes(2000, 2);
    const QString first = writeFile("first.wav", waveFile(stereo, firstData));
    addFile(writeFile("second.wav", waveFile(stereo, secondData)));
    addFile(first);
    click("cmdUp"); // added in the other order, then moved: the join follows the list as it stands
    const QString output = wavFolder() + QStringLiteral("/joined"); // used as typed, no extension added
    dialogs().queue(DialogAnswer::choose(output));
    const int logged = int(lines("lstCommands").size());
    click("cmdMakeNewFile");
    ASSERT_TRUE(dialogs().seen().back().saving);
    EXPECT_EQ(lines("lstNewFiles"), QStringList{output});
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier enregistré:", " " + output}));
    EXPECT_TRUE(readFileBytes(output) == waveFile(stereo, firstData + secondData));
    EXPECT_EQ(runTool(QStringLiteral("sox"), {"--i", "-s", output}).out.trimmed(), QStringLiteral("1500"));

    addFile(writeFile("mono.wav", waveFile({1, 8000, 16}, constantFrames({1, 8000, 16}, 10, 0))));
    ASSERT_FALSE(box("picRight1").isVisibleTo(&window()));
    QListWidget &produced = list("lstNewFiles");
    const QPoint line = produced.visualItemRect(produced.item(0)).center();
    QTest::mouseClick(produced.viewport(), Qt::LeftButton, {}, line);
    QTest::mouseDClick(produced.viewport(), Qt::LeftButton, {}, line);
    EXPECT_EQ(graphFileName(), output);
    EXPECT_TRUE(box("picRight1").isVisibleTo(&window())) << "the joined file is stereo";
}

TEST_F(JoinWindowJoin, ChoosingOneOfTheSourcesAsTheOutputLeavesItWholeAndTheLogSaysWhy)
{
    const QByteArray firstBytes = waveFile({}, patternBytes(1200, 1));
    const QString first = writeFile("first.wav", firstBytes);
    addFile(first);
    addFile(writeFile("second.wav", waveFile({}, patternBytes(800, 2))));
    const QStringList logBefore = lines("lstCommands");
    dialogs().queue(DialogAnswer::choose(first));
    dialogs().queue(DialogAnswer::yes()); // the save dialog's question about replacing it
    click("cmdMakeNewFile");
    EXPECT_EQ(readFileBytes(first), firstBytes);
    EXPECT_TRUE(lines("lstNewFiles").isEmpty());
    EXPECT_EQ(lines("lstCommands"),
              (logBefore + QStringList{"Message d'erreur:", "Le fichier à créer est l'un des fichiers à joindre : " + first}));
}
