// Writing the joined file, and failures that leave no file behind and destroy none (an input under another name, a full disk).
#include "wave_files.h"

#include "../support/signal_helpers.h"
#include "../support/small_disk.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

TEST(JoinedFile, ReplacesTheOutputWithOneCanonicalHeaderAndTheSourcesDataInListOrder)
{
    TestFolder folder;
    const QByteArray big = patternBytes(3 * qsizetype(kJoinCopyBufferBytes) + 4 * 777, 10);
    const QByteArray a = patternBytes(4000, 1);
    const QByteArray tagged = riffWave(formatChunk({2, 44100, 16}) + chunk("LIST", QByteArray("INFOIART") + QByteArray(30, 'd')) +
                                       chunk("data", a.left(800) + QByteArray("\x01\x02\x03", 3)) + chunk("id3 ", patternBytes(40, 9)));
    const struct { const char *what; Layout layout; std::vector<QByteArray> sources; QByteArray data; } cases[] = {
        // 18-byte format chunks and 46-byte headers, and many copy buffers.
        {"recorder", {2, 44100, 16}, {recorderWave({2, 44100, 16}, big), waveFile({2, 44100, 16}, a)}, big + a},
        // Other chunks and partial frames of the sources are not copied.
        {"tagged", {2, 44100, 16}, {tagged, waveFile({2, 44100, 16}, a.left(800))}, a.left(800) + a.left(800)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<JoinFileInfo> files;
        for (const QByteArray &source : c.sources)
            files.push_back(readJoinFile(folder.write(QStringLiteral("%1_%2.wav").arg(c.what).arg(files.size()), source)));
        const QString out = folder.write(QStringLiteral("%1_out.wav").arg(c.what), patternBytes(100000, 15));
        JoinWaveFiles(out, files);
        EXPECT_TRUE(readFileBytes(out) == waveFile(c.layout, c.data));
    }
}

TEST(JoinedFile, FilesFromSoxFfmpegAndTheRecorderJoinIntoOneThatSoxReads)
{
    TestFolder folder;
    const QString soxFile = folder.path("sox.wav"), ffmpegFile = folder.path("ffmpeg.wav");
    runOrFail("sox", {"-n", "-r", "44100", "-c", "2", "-b", "16", soxFile, "synth", "0.5", "sine", "440"});
    runOrFail("ffmpeg", {"-f", "lavfi", "-i", "sine=frequency=660:sample_rate=44100:duration=0.25", "-ac", "2", "-c:a",
                         "pcm_s16le", ffmpegFile});
    ASSERT_TRUE(readFileBytes(ffmpegFile).left(200).contains("LIST")) << "ffmpeg wrote no LIST chunk";
    const QString recorded = folder.write("rec.wav", recorderWave({2, 44100, 16}, patternBytes(44100, 12)));
    const QString out = folder.path("joined.wav");
    JoinWaveFiles(out, std::vector<JoinFileInfo>{readJoinFile(soxFile), readJoinFile(ffmpegFile), readJoinFile(recorded)});
    EXPECT_EQ(runTool("sox", {"--i", "-s", out}).out.trimmed().toInt(), 22050 + 11025 + 11025);
    EXPECT_TRUE(soxRawSamples(out) == soxRawSamples(soxFile) + soxRawSamples(ffmpegFile) + soxRawSamples(recorded));
}

TEST(JoinedFile, FailuresAreReportedByNumberAndLeaveTheSourcesAndNoOutputBehind)
{
    TestFolder folder;
    const auto stereo = [&](const char *name, int seed, qsizetype bytes) { return readJoinFile(folder.write(name, waveFile({}, patternBytes(bytes, seed)))); };
    const std::vector<JoinFileInfo> pair = {stereo("a.wav", 16, 400), stereo("b.wav", 17, 400)};
    const std::vector<JoinFileInfo> shrunk = {stereo("c.wav", 18, 4000), stereo("d.wav", 19, 4000)};
    folder.write("d.wav", waveFile({2, 44100, 16}, patternBytes(4000, 19)).left(1000));
    // Frame counts of two long recordings: their sum overflows, and so do the bytes of one.
    JoinFileInfo longFile = pair[0];
    longFile.frameCount = 1 << 30;
    const QString out = folder.path("out.wav");
    const JoinFileInfo mono = readJoinFile(folder.write("mono.wav", waveFile({1, 44100, 16}, patternBytes(40, 25))));
    const struct { const char *what; QString output; std::vector<JoinFileInfo> files; int number; } cases[] = {
        {"source shrank after it was listed", out, shrunk, join_error::kPastEnd},
        {"output cannot be created", folder.path("no/such/folder/out.wav"), pair, join_error::kFileAccess},
        {"different formats", out, {pair[0], mono}, join_error::kBadFormat},
        {"frame total overflows", out, {longFile, longFile}, join_error::kOverflow},
        {"data size overflows", out, {longFile}, join_error::kOverflow},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<QByteArray> before;
        for (const JoinFileInfo &file : c.files)
            before.push_back(readFileBytes(file.fileName));
        EXPECT_EQ(errorNumberOf([&] { JoinWaveFiles(c.output, c.files); }), c.number);
        for (std::size_t i = 0; i < c.files.size(); ++i)
            EXPECT_EQ(readFileBytes(c.files[i].fileName), before[i]);
        EXPECT_FALSE(QFile::exists(out));
    }
    // 36 + dataSize must fit the unsigned 32-bit RIFF size: a join just under 4 GiB is one file.
    EXPECT_EQ(errorNumberOf([&] { joinedHeaderBytes(2, 16, 44100, 1073741815); }), join_error::kOverflow);
    const std::vector<std::uint8_t> largest = joinedHeaderBytes(2, 16, 44100, 1073741814);
    EXPECT_EQ(le32At(QByteArray(reinterpret_cast<const char *>(largest.data()), 44), 4), 4294967292u);
}

static std::vector<JoinFileInfo> twoRecordings(const TestFolder &folder, qsizetype bytes)
{
    return {readJoinFile(folder.write("a.wav", recorderWave({}, patternBytes(bytes, 1)))),
            readJoinFile(folder.write("b.wav", waveFile({}, patternBytes(bytes, 2))))};
}

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
