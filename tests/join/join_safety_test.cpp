// A join never destroys a file: not an input under another name, not on a full disk.
#include "wave_files.h"

#include "join/join_engine.h"
#include "join/join_errors.h"

#include "../support/small_disk.h"
#include "../support/tools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

std::vector<JoinFileInfo> twoRecordings(const TestFolder &folder, qsizetype bytes)
{
    return {readJoinFile(folder.write("a.wav", recorderWave({}, patternBytes(bytes, 1)))),
            readJoinFile(folder.write("b.wav", waveFile({}, patternBytes(bytes, 2))))};
}

} // namespace

TEST(JoinSafety, OutputThatIsAnInputUnderAnotherNameIsRefusedAndEveryFileStaysAsItWas)
{
    TestFolder folder;
    const std::vector<JoinFileInfo> inputs = twoRecordings(folder, 4000);
    const QByteArray a = readFileBytes(inputs[0].fileName), b = readFileBytes(inputs[1].fileName);
    const QString hardLink = folder.path("hard.wav");
    ASSERT_EQ(::link(QFile::encodeName(inputs[1].fileName).constData(), QFile::encodeName(hardLink).constData()), 0);
    const QString symlink = folder.path("sym.wav");
    ASSERT_TRUE(QFile::link(inputs[0].fileName, symlink));

    for (const QString &output : {hardLink, symlink}) {
        SCOPED_TRACE(output.toStdString());
        QString text;
        EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(output, inputs); }, &text), join_error::kFileAccess);
        EXPECT_TRUE(text.startsWith("Le fichier à créer est l'un des fichiers à joindre")) << text.toStdString();
        EXPECT_TRUE(readFileBytes(inputs[0].fileName) == a);
        EXPECT_TRUE(readFileBytes(inputs[1].fileName) == b);
        EXPECT_TRUE(readFileBytes(hardLink) == b);
        EXPECT_TRUE(QFileInfo(symlink).isSymLink());
    }
    EXPECT_EQ(QDir(folder.path(".")).entryList(QDir::Files | QDir::Hidden).size(), 4); // a, b and the two links
}

TEST(JoinSafety, FullDiskLeavesNoPartialFileAndAnOlderFileOfThatNameAsItWas)
{
    TestFolder folder;
    SmallDisk disk(folder.path("small"));
    ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
    const std::vector<JoinFileInfo> large = twoRecordings(folder, 40000); // 80044 bytes joined
    const QString out = disk.path() + "/out.wav";

    QString text;
    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(out, large); }, &text), join_error::kFileAccess);
    EXPECT_EQ(text, QStringLiteral("Erreur d'écriture dans le fichier « %1 » : %2.").arg(out, disk.fullReason()));
    EXPECT_TRUE(disk.entries().isEmpty()) << disk.entries().join(' ').toStdString();

    const QByteArray older = waveFile({}, patternBytes(800, 3));
    folder.write("small/out.wav", older);
    EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(out, large); }), join_error::kFileAccess);
    EXPECT_TRUE(readFileBytes(out) == older);
    EXPECT_EQ(disk.entries(), QStringList{"out.wav"});
}
