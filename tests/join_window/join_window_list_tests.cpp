// The join window's list: adding files through the open dialog, moving them up and down and
// deleting them keep the visible lines, the join list and the log in step.
#include "join_window_support.h"

#include "join/join_engine.h"

#include <QListWidget>

namespace {

class JoinWindowList : public JoinWindowTest {
protected:
    // Three files of different formats, added in order a, b, c.
    void addThree()
    {
        paths = {writeFile("a.wav", waveFile({2, 44100, 16}, constantFrames({2, 44100, 16}, 100, 0))),
                 writeFile("b.wav", waveFile({1, 22050, 8}, constantFrames({1, 22050, 8}, 100, 128))),
                 writeFile("c.wav", waveFile({1, 8000, 16}, constantFrames({1, 8000, 16}, 100, 5)))};
        for (const QString &path : paths)
            addFile(path);
        ASSERT_EQ(JoinFileCount, 3);
    }
    QString describe(int which) const
    {
        static const char *kFormats[] = {"44khz 16bits Stereo", "22khz 8bits Mono", "8khz 16bits Mono"};
        return QLatin1String(kFormats[which]) + QStringLiteral("     ") + paths[which];
    }
    // Every line describes the join record of its index, and the counts agree.
    void expectInStep()
    {
        const QStringList shown = lines("lstFiles");
        ASSERT_EQ(shown.size(), JoinFileCount);
        for (int i = 0; i < JoinFileCount; ++i)
            EXPECT_EQ(shown[i], DescribeJoinFile(JoinFiles[std::size_t(i)])) << "line " << i;
    }
    QStringList paths;
};

} // namespace

TEST_F(JoinWindowList, OpensEmptyWithItsDialogInTheRecordingsFolderAndHasNothingToDelete)
{
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Sonoriel : Joindre des fichiers Wav"));
    EXPECT_EQ(JoinFileCount, 0);
    EXPECT_EQ(JoinFiles.size(), 1u);
    dialogs().queue(DialogAnswer::cancel());
    click("cmdOpen");
    ASSERT_EQ(dialogs().seen().size(), 1u);
    EXPECT_TRUE(dialogs().seen()[0].fileDialog);
    EXPECT_FALSE(dialogs().seen()[0].saving);
    EXPECT_EQ(dialogs().seen()[0].folder, wavFolder());
    EXPECT_EQ(dialogs().seen()[0].filters, QStringList{QStringLiteral("Fichiers Wave (*.wav)")});
    EXPECT_TRUE(lines("lstCommands").isEmpty()) << "a cancelled add logs nothing";

    click("cmdDelFile"); // deleting from the empty list logs and asks nothing
    EXPECT_EQ(lines("lstCommands"), (QStringList{"Message d'erreur:", "Pas de fichier à supprimer"}));
    EXPECT_EQ(dialogs().seen().size(), 1u);
}

TEST_F(JoinWindowList, AddingThreeFilesLogsEachAndLeavesTheThirdSelectedWithItsGraph)
{
    addThree();
    EXPECT_EQ(lines("lstCommands"),
              (QStringList{"Fichier ajouté:", " " + paths[0], "Fichier ajouté:", " " + paths[1], "Fichier ajouté:",
                           " " + paths[2]}));
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(0), describe(1), describe(2)}));
    expectInStep();
    EXPECT_EQ(list("lstFiles").currentRow(), 2);
    EXPECT_EQ(JoinCurrentIndex, 2);
    EXPECT_EQ(list("lstFiles").toolTip(), describe(2));
    EXPECT_EQ(graphFileName(), paths[2]);
}

TEST_F(JoinWindowList, AFileThatIsNotAWaveFileIsNotAddedAndTheLogSaysWhy)
{
    const QString text = writeFile("notes.wav", QByteArray("these are not samples at all, only words"));
    const QString good = writeFile("good.wav", waveFile({}, constantFrames({}, 10, 0)));
    addFile(good);
    const QStringList logBefore = lines("lstCommands");
    addFile(text);
    EXPECT_EQ(JoinFileCount, 1);
    EXPECT_EQ(lines("lstCommands"), (logBefore + QStringList{"Message d'erreur:", text + " n'est pas un fichier Wave"}));
    expectInStep();
    addFile(good); // the list is still usable after the refusal
    EXPECT_EQ(JoinFileCount, 2);
    expectInStep();
}

// Each move is logged and keeps the selection on the moved line; the first line cannot go
// higher, the last one lower, and with no selection nothing moves.
TEST_F(JoinWindowList, MovingUpAndDownStopsAtTheEndsAndNeedsASelection)
{
    addThree();
    list("lstFiles").setCurrentRow(1);
    EXPECT_EQ(JoinCurrentIndex, 1);
    const int logged = int(lines("lstCommands").size());

    click("cmdUp");
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(1), describe(0), describe(2)}));
    expectInStep();
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier déplacé vers le haut:", " " + paths[1]}));
    EXPECT_EQ(list("lstFiles").currentRow(), 0);
    EXPECT_EQ(JoinCurrentIndex, 0);
    click("cmdUp");
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(1), describe(0), describe(2)}));
    EXPECT_EQ(lines("lstCommands").size(), logged + 2);

    click("cmdDown");
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(0), describe(1), describe(2)}));
    expectInStep();
    EXPECT_EQ(lines("lstCommands").mid(logged + 2), (QStringList{"Fichier déplacé vers le bas:", " " + paths[1]}));
    EXPECT_EQ(JoinCurrentIndex, 1);
    list("lstFiles").setCurrentRow(2);
    click("cmdDown");
    list("lstFiles").setCurrentRow(-1);
    click("cmdDown");
    click("cmdUp");
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(0), describe(1), describe(2)}));
    EXPECT_EQ(lines("lstCommands").size(), logged + 4);
}

// "No" to the question changes nothing; "Yes" deletes the line and redescribes the others.
TEST_F(JoinWindowList, DeletingTheMiddleFileAsksThenRedescribesTheOthersInOrder)
{
    addThree();
    list("lstFiles").setCurrentRow(1);
    const int logged = int(lines("lstCommands").size());
    dialogs().queue(DialogAnswer::no());
    click("cmdDelFile");
    ASSERT_FALSE(dialogs().seen().empty());
    EXPECT_EQ(dialogs().seen().back().text, QStringLiteral("Supprimer le fichier ?"));
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(0), describe(1), describe(2)}));
    EXPECT_EQ(JoinFileCount, 3);
    EXPECT_EQ(lines("lstCommands").size(), logged);

    dialogs().queue(DialogAnswer::yes());
    click("cmdDelFile");
    EXPECT_EQ(JoinFileCount, 2);
    EXPECT_EQ(lines("lstFiles"), (QStringList{describe(0), describe(2)}));
    expectInStep();
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier supprimé:", " " + paths[1]}));
    // The line a further delete removes is the one shown selected.
    EXPECT_EQ(JoinCurrentIndex, 1);
    EXPECT_EQ(list("lstFiles").currentRow(), 1);

    for (int left = 2; left > 0; --left) {
        dialogs().queue(DialogAnswer::yes());
        click("cmdDelFile");
    }
    EXPECT_EQ(JoinFileCount, 0);
    EXPECT_TRUE(lines("lstFiles").isEmpty());
    EXPECT_EQ(JoinFiles.size(), 1u) << "the slot of the next add stays";
    addFile(paths[1]);
    EXPECT_EQ(lines("lstFiles"), QStringList{describe(1)});
    expectInStep();
}

TEST_F(JoinWindowList, ClosingTheWindowEmptiesItsListsForTheNextOpening)
{
    addThree();
    click("Command2");
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(JoinFileCount, 0);
    window().show();
    EXPECT_TRUE(lines("lstFiles").isEmpty());
    EXPECT_TRUE(lines("lstCommands").isEmpty());
    EXPECT_TRUE(graphFileName().isEmpty());
}
