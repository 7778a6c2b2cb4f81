// The join window's list: adding, moving and deleting keep the lines, the join list and the log in step.
#include "join_window_support.h"

#include "join/join_engine.h"

struct JoinWindowList : JoinWindowTest {
    void addThree()
    {
        for (const char *name : {"a.wav", "b.wav", "c.wav"})
            addFile(paths.emplace_back(writeFile(name, waveFile({2, 44100, 16}, patternBytes(400, 1)))));
        ASSERT_EQ(JoinFileCount, 3);
    }
    // The names of the files the list shows, each line checked against its join record.
    QStringList shown()
    {
        QStringList names;
        for (int i = 0; i < JoinFileCount; ++i) {
            EXPECT_EQ(lines("lstFiles").value(i), DescribeJoinFile(JoinFiles[std::size_t(i)])) << "line " << i;
            names << QFileInfo(JoinFiles[std::size_t(i)].fileName).fileName();
        }
        return names;
    }
    QStringList paths;
};

TEST_F(JoinWindowList, AddsThroughTheOpenDialogInTheRecordingsFolderAndRefusesAFileThatIsNoWave)
{
    click("cmdDelFile"); // deleting from the empty list logs and asks nothing
    EXPECT_EQ(lines("lstCommands"), (QStringList{"Message d'erreur:", "Pas de fichier à supprimer"}));
    m_dialogs->queue(DialogAnswer::cancel());
    click("cmdOpen");
    ASSERT_EQ(m_dialogs->seen().size(), 1u);
    EXPECT_EQ(m_dialogs->seen()[0].folder, wavFolder());

    addThree();
    EXPECT_EQ(lines("lstCommands").mid(2, 2), (QStringList{"Fichier ajouté:", " " + paths[0]})); // cancelling logged nothing
    EXPECT_EQ(JoinCurrentIndex, 2);
    EXPECT_EQ(m_window->findChild<QLabel *>("lblGraphFileName")->text(), paths[2]);

    const QString text = writeFile("notes.wav", QByteArray("these are not samples at all, only words"));
    addFile(text);
    EXPECT_EQ(lines("lstCommands").mid(8), (QStringList{"Message d'erreur:", text + " n'est pas un fichier Wave"}));
    EXPECT_EQ(shown(), (QStringList{"a.wav", "b.wav", "c.wav"}));
}

TEST_F(JoinWindowList, MovingUpAndDownIsLoggedStopsAtTheEndsAndNeedsASelection)
{
    addThree();
    list("lstFiles").setCurrentRow(1);
    const int logged = int(lines("lstCommands").size());
    click("cmdUp");
    EXPECT_EQ(shown(), (QStringList{"b.wav", "a.wav", "c.wav"}));
    EXPECT_EQ(lines("lstCommands").mid(logged), (QStringList{"Fichier déplacé vers le haut:", " " + paths[1]}));
    EXPECT_EQ(JoinCurrentIndex, 0);
    click("cmdUp");
    click("cmdDown");
    EXPECT_EQ(shown(), (QStringList{"a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(lines("lstCommands").mid(logged + 2), (QStringList{"Fichier déplacé vers le bas:", " " + paths[1]}));
    list("lstFiles").setCurrentRow(2);
    click("cmdDown");
    list("lstFiles").setCurrentRow(-1);
    click("cmdUp");
    EXPECT_EQ(shown(), (QStringList{"a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(lines("lstCommands").size(), logged + 4);
}

TEST_F(JoinWindowList, DeletingAsksFirstAndClosingTheWindowEmptiesItsLists)
{
    addThree();
    list("lstFiles").setCurrentRow(1);
    m_dialogs->queue(DialogAnswer::no());
    click("cmdDelFile");
    EXPECT_EQ(m_dialogs->seen().back().text, QStringLiteral("Supprimer le fichier ?"));
    EXPECT_EQ(JoinFileCount, 3);
    m_dialogs->queue(DialogAnswer::yes());
    click("cmdDelFile");
    EXPECT_EQ(shown(), (QStringList{"a.wav", "c.wav"}));
    EXPECT_EQ(lines("lstCommands").mid(6), (QStringList{"Fichier supprimé:", " " + paths[1]}));
    EXPECT_EQ(JoinCurrentIndex, list("lstFiles").currentRow()); // a further delete removes the line shown selected

    click("Command2");
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_EQ(JoinFileCount, 0);
    m_window->show();
    EXPECT_TRUE(lines("lstFiles").isEmpty());
    EXPECT_TRUE(lines("lstCommands").isEmpty());
}
