// "Créer le fichier Wav": refusals logged without a dialog; a join written, listed and logged.
#include "join_window_support.h"

#include "../support/tools.h"

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
    EXPECT_EQ(m_dialogs->seen().size(), 2u); // the two open dialogs only
    EXPECT_TRUE(lines("lstNewFiles").isEmpty());
}

TEST_F(JoinWindowJoin, AJoinIsWrittenInListOrderThroughTheSaveDialogListedAndLogged)
{
    const WaveLayout stereo{2, 44100, 16};
    const QByteArray firstData = patternBytes(4000, 1), secondData = patternBytes(2000, 2);
    const QString first = writeFile("first.wav", waveFile(stereo, firstData));
    addFile(writeFile("second.wav", waveFile(stereo, secondData)));
    addFile(first);
    click("cmdUp"); // added in the other order, then moved: the join follows the list as it stands
    const QString output = wavFolder() + QStringLiteral("/joined"); // used as typed, no extension added
    m_dialogs->queue(DialogAnswer::choose(output));
    click("cmdMakeNewFile");
    ASSERT_TRUE(m_dialogs->seen().back().saving);
    EXPECT_EQ(lines("lstNewFiles"), QStringList{output});
    EXPECT_EQ(lines("lstCommands").mid(6), (QStringList{"Fichier enregistré:", " " + output}));
    EXPECT_TRUE(readFileBytes(output) == waveFile(stereo, firstData + secondData)); // all 1500 frames
}
