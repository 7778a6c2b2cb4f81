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
    // The lines the list shows for the files in this order; each describes the join record of
    // its index.
    QStringList shown(std::initializer_list<int> order)
    {
        static const char *kFormats[] = {"44khz 16bits Stereo", "22khz 8bits Mono", "8khz 16bits Mono"};
        QStringList expected;
        for (const int which : order)
            expected << QLatin1String(kFormats[which]) + QStringLiteral("     ") + paths[which];
        EXPECT_EQ(JoinFileCount, int(order.size()));
        for (int i = 0; i < JoinFileCount; ++i)
            EXPECT_EQ(lines("lstFiles").value(i), DescribeJoinFile(JoinFiles[std::size_t(i)])) << "line " << i;
        return expected;
    }
    QStringList paths;
};

} // namespace

TEST_F(JoinWindowList, AddsThroughTheOpenDialogInTheRecordingsFolderAndRefusesAFileThatIsNoWave)
{
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Sonoriel : Joindre des fichiers Wav"));
    click("cmdDelFile"); // deleting from the empty list logs and asks nothing
    EXPECT_EQ(lines("lstCommands"), (QStringList{"Message d'erreur:", "Pas de fichier à supprimer"}));
    dialogs().queue(DialogAnswer::cancel());
    click("cmdOpen");
    ASSERT_EQ(dialogs().seen().size(), 1u);
    EXPECT_FALSE(dialogs().seen()[0].saving);
    EXPECT_EQ(dialogs().seen()[0].folder, wavFolder());
    EXPECT_EQ(dialogs().seen()[0].filters, QStringList{QStringLiteral("Fichiers Wave (*.wav)")});
    EXPECT_EQ(lines("lstCommands").size(), 2) << "a cancelled add logs nothing";

    addThree();
    EXPECT_EQ(lines("lstCommands").mid(2), (QStringList{"Fichier ajouté:", " " + paths[0], "Fichier ajouté:", " " + paths[1],
                                                        "Fichier ajouté:", " " + paths[2]}));
    EXPECT_EQ(lines("lstFiles"), shown({0, 1, 2}));
    EXPECT_EQ(list("lstFiles").currentRow(), 2);
    EXPECT_EQ(JoinCurrentIndex, 2);
    EXPECT_EQ(graphFileName(), paths[2]);

    const QString text = writeFile("notes.wav", QByteArray("these are not samples at all, only words"));
    addFile(text);
    EXPECT_EQ(lines("lstCommands").mid(8), (QStringList{"Message d'erreur:", text + " n'est pas un fichier Wave"}));
    EXPECT_EQ(lines("lstFiles"), shown({0, 1, 2}));
    addFile(paths[0]); // the list is still usable after the refusal
    EXPECT_EQ(JoinFileCount, 4);
}

// Each move is logged and keeps the selection on the moved line; the first line cannot go
// higher, the last one lower, and with no selection nothing moves.
TEST_F(JoinWindowList, MovingUpAndDownStopsAtTheEndsAndNeedsASelection)
{
    addThree();
    list("lstFiles").setCurrentRow(1);
    const int logged = int(lines("lstCommands").size());
    click("cmdUp");
    EXPECT_EQ(lines("lstFiles"), shown({1, 0, 2}));
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier déplacé vers le haut:", " " + paths[1]}));
    EXPECT_EQ(list("lstFiles").currentRow(), 0);
    EXPECT_EQ(JoinCurrentIndex, 0);
    click("cmdUp");
    EXPECT_EQ(lines("lstFiles"), shown({1, 0, 2}));
    click("cmdDown");
    EXPECT_EQ(lines("lstFiles"), shown({0, 1, 2}));
    EXPECT_EQ(lines("lstCommands").mid(logged + 2), (QStringList{"Fichier déplacé vers le bas:", " " + paths[1]}));
    EXPECT_EQ(JoinCurrentIndex, 1);
    list("lstFiles").setCurrentRow(2);
    click("cmdDown");
    list("lstFiles").setCurrentRow(-1);
    click("cmdDown");
    click("cmdUp");
    EXPECT_EQ(lines("lstFiles"), shown({0, 1, 2}));
    EXPECT_EQ(lines("lstCommands").size(), logged + 4);
}

// "No" to the question changes nothing; "Yes" deletes the line and redescribes the others;
// closing the window empties its lists for the next opening.
TEST_F(JoinWindowList, DeletingTheMiddleFileAsksThenRedescribesTheOthersInOrder)
{
    addThree();
    list("lstFiles").setCurrentRow(1);
    const int logged = int(lines("lstCommands").size());
    dialogs().queue(DialogAnswer::no());
    click("cmdDelFile");
    EXPECT_EQ(dialogs().seen().back().text, QStringLiteral("Supprimer le fichier ?"));
    EXPECT_EQ(lines("lstFiles"), shown({0, 1, 2}));
    dialogs().queue(DialogAnswer::yes());
    click("cmdDelFile");
    EXPECT_EQ(lines("lstFiles"), shown({0, 2}));
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier supprimé:", " " + paths[1]}));
    EXPECT_EQ(JoinCurrentIndex, 1); // the line a further delete removes is the one shown selected
    EXPECT_EQ(list("lstFiles").currentRow(), 1);
    for (int left = 2; left > 0; --left) {
        dialogs().queue(DialogAnswer::yes());
        click("cmdDelFile");
    }
    EXPECT_TRUE(lines("lstFiles").isEmpty());
    EXPECT_EQ(JoinFiles.size(), 1u) << "the slot of the next add stays";
    addFile(paths[1]);
    EXPECT_EQ(lines("lstFiles"), shown({1}));

    click("Command2");
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(JoinFileCount, 0);
    window().show();
    EXPECT_TRUE(lines("lstFiles").isEmpty());
    EXPECT_TRUE(lines("lstCommands").isEmpty());
    EXPECT_TRUE(graphFileName().isEmpty());
}
