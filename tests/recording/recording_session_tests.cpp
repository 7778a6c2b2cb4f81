// The recording session: numbered names, refused starts, effects before the encoder, and the
// stops that leave a complete file (a full disk, a size limit, a source that vanished).
#include "recording/recording_session.h"

#include "effects/cls_dsp.h"
#include "recording/encoder_wav.h"
#include "recording/recording_numbering.h"
#include "recording/wave_in_recorder.h"

#include "recording_helpers.h"

#include "platform/audio/pulse/pulse_backend.h"

#include "../support/pulse_server.h"
#include "../support/small_disk.h"
#include "../support/source_player.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

void touch(const QString &path, const QByteArray &bytes = {})
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

// One window's recording objects over a virtual device, the program folder in a temporary one.
struct Recording {
    explicit Recording(VirtualDeviceOptions options = virtualOptions())
        : Recording(createVirtualBackend(options)) {}
    explicit Recording(std::unique_ptr<AudioBackend> backend)
        : recorder(std::move(backend)), session(recorder, encoder, effects, home.path())
    {
        QDir().mkpath(home.filePath("Wav"));
        recorder.SelectDevice(0);
        request.path = wav("take.wav");
        QObject::connect(&session, &RecordingSession::stopped, [this](StopCause cause, const RecordingFailure &failure) {
            if (cause != StopCause::User)
                stops.push_back(failure);
        });
    }
    // Records `blocks` blocks, then stops.
    void recordBlocks(int blocks)
    {
        int seen = 0;
        const auto connection = QObject::connect(&session, &RecordingSession::blockRecorded, [&] {
            if (++seen == blocks)
                session.stop();
        });
        const auto failure = session.start(request);
        EXPECT_FALSE(failure) << failure->message.toStdString();
        EXPECT_TRUE(waitUntil([&] { return !session.isRecording(); }, std::chrono::seconds(30)));
        QObject::disconnect(connection);
    }
    QString wav(const QString &name) const { return home.filePath("Wav/" + name); }

    QTemporaryDir home;
    EncoderWAV encoder;
    clsDSP effects;
    WaveInRecorder recorder;
    RecordingSession session;
    RecordingRequest request;
    std::vector<RecordingFailure> stops;
};

} // namespace

TEST(RecordingNumbering, FillsGapsFirstAndDropsTheLeadingZeroFromTen)
{
    Recording r; // for its program folder
    touch(r.wav("Enreg_02.wav"));
    EXPECT_EQ(nextNumberedRecordingPath(r.home.path()), r.wav("Enreg_01.wav"));
    for (int n = 1; n <= 9; ++n)
        touch(numberedRecordingPath(r.home.path(), n));
    ASSERT_TRUE(QDir().mkpath(r.wav("Enreg_10.wav"))); // a folder is not a recording
    EXPECT_EQ(nextNumberedRecordingPath(r.home.path()), r.wav("Enreg_10.wav"));
}

TEST(RecordingSession, ANumberedNameTakenMeanwhileGivesWayToTheNextFreeOne)
{
    Recording r;
    touch(r.wav("Enreg_01.wav"));
    touch(r.wav("Enreg_03.wav"));
    // The front end picked Enreg_02.wav, which another recording created since.
    r.request = {r.wav("Enreg_02.wav"), true, true, 44100, 2, {}};
    touch(r.request.path);
    r.recordBlocks(3);
    EXPECT_EQ(r.session.recordingPath(), r.wav("Enreg_04.wav"));
    EXPECT_EQ(QFileInfo(r.wav("Enreg_02.wav")).size(), 0) << "the other recording's file was replaced";
    EXPECT_EQ(le32At(readFileBytes(r.wav("Enreg_04.wav")), 42), 3u * 10240u);
    EXPECT_TRUE(r.stops.empty());
}

TEST(RecordingSession, ARefusedStartSaysWhyAndLeavesTheTakeAlreadyThereAsItWas)
{
    const struct {
        std::function<void(Recording &)> spoil;
        const char *message;
        const char *reason = "";
        int failPrepareAt = -1;
    } cases[] = {
        {[](Recording &r) { r.request.deviceChosen = false; }, "Pas de dispositif sélectionné !"},
        {[](Recording &r) { r.request.path = r.home.filePath("missing/folder/take.wav"); },
         "Ne peut pas initialiser l'encodeur !", "Aucun fichier ou dossier de ce type"},
        {[](Recording &r) { r.request.rateHz = 192000; }, "Effets : erreur 32000 ("},
        {[](Recording &) {}, "Ne peut pas démarrer l'enregistrement !", "préparé", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        Recording r(virtualOptions(0, {}, c.failPrepareAt));
        const QByteArray take = QByteArray("a three-second take, kept byte for byte");
        touch(r.wav("take.wav"), take);
        c.spoil(r);
        const auto failure = r.session.start(r.request);
        ASSERT_TRUE(failure);
        EXPECT_TRUE(failure->message.startsWith(QString::fromUtf8(c.message))) << failure->message.toStdString();
        EXPECT_TRUE(failure->reason.contains(QString::fromUtf8(c.reason))) << failure->reason.toStdString();
        EXPECT_FALSE(r.session.isRecording() || r.encoder.isOpen() || QFile::exists(r.home.filePath("missing")));
        EXPECT_EQ(readFileBytes(r.wav("take.wav")), take);
    }
}

TEST(RecordingSession, EffectsRunBeforeTheEncoder)
{
    QTemporaryDir dir;
    const auto tone = makeTone(1000, 44100, 2, 44100, 8000);
    Recording r(virtualOptions(0, writeInput(dir, tone)));
    r.effects.setEffectsUsed(clsDSP::kAmplifier);
    r.effects.setAmplifyDB(6);
    r.recordBlocks(5);
    const QByteArray file = readFileBytes(r.session.recordingPath());
    ASSERT_EQ(file.size(), 46 + 5 * 10240);
    const auto *written = reinterpret_cast<const std::int16_t *>(file.constData() + 46);
    for (int i = 0; i < 5 * 5120; i += 97)
        EXPECT_NEAR(written[i], tone[static_cast<std::size_t>(i)] * 1.9953, 1.0) << i; // +6 dB
    EXPECT_EQ(r.session.intLastBlock()[100], written[4 * 5120 + 100]);
}

TEST(RecordingSession, FullDiskStopsTheRecordingWithACompleteFile)
{
    Recording r(VirtualDeviceOptions{}); // real-time pace, so the stop happens mid-recording
    QByteArray file;
    {
        SmallDisk disk(r.home.filePath("small"), 96 * 1024);
        ASSERT_TRUE(disk.ready()) << disk.why().toStdString();
        r.request.path = disk.path() + "/take.wav";
        ASSERT_FALSE(r.session.start(r.request));
        EXPECT_TRUE(waitUntil([&] { return !r.session.isRecording(); }, std::chrono::seconds(20)));
        ASSERT_EQ(r.stops.size(), 1u);
        EXPECT_EQ(r.stops.front().message, "Write error (no disk space left?)!");
        EXPECT_EQ(r.stops.front().reason, QStringLiteral("« %1 » : %2.").arg(r.request.path, disk.fullReason()));
        EXPECT_FALSE(r.encoder.isOpen());
        file = readFileBytes(r.request.path);
    }
    ASSERT_TRUE(file.size() > 46 + 10240 && file.size() <= 96 * 1024) << file.size();
    expectSizesMatchFile(file);
    // The disk fills at a page boundary, in the middle of a frame: the data keeps whole ones.
    EXPECT_EQ((file.size() - 46) % 4, 0);
}

TEST(RecordingSession, ALimitNoFileCanHoldABlockUnderStopsTheTakeAndSaysSo)
{
    // Past the limit a take goes on in parts; a limit below one block would make parts forever.
    Recording r;
    r.encoder.setMaxFileBytes(10240 / 2);
    ASSERT_FALSE(r.session.start(r.request));
    ASSERT_TRUE(waitUntil([&] { return !r.session.isRecording(); }, std::chrono::seconds(30)));
    ASSERT_EQ(r.stops.size(), 1u);
    EXPECT_EQ(r.stops.front().message, RecordingSession::kFileFullMessage);
    EXPECT_FALSE(QFileInfo::exists(r.wav("take-001.wav")));
    const QByteArray file = readFileBytes(r.request.path);
    EXPECT_EQ(file.size(), 46);
    expectSizesMatchFile(file);
}

TEST(RecordingSession, ASourceThatVanishesFromTheServerStopsTheRecordingWithACompleteFile)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    Recording r(valueOr(createPulseBackend(), error));
    ASSERT_TRUE(r.recorder.SelectDevice(0)) << error.toStdString();
    {
        SourcePlayer player(server, makeTone(440, 44100, 2, 44100 * 10), 44100, 2);
        ASSERT_FALSE(r.session.start(r.request));
        ASSERT_TRUE(waitUntil([&] { return QFileInfo(r.request.path).size() >= 46 + 5 * 10240; })); // five blocks
        ASSERT_TRUE(server.removeSource());
        EXPECT_TRUE(waitUntil([&] { return !r.session.isRecording(); }));
    }
    ASSERT_EQ(r.stops.size(), 1u);
    EXPECT_EQ(r.stops.front().message, "L'enregistrement a été arrêté : le périphérique de capture ne répond plus.");
    const QByteArray file = readFileBytes(r.request.path);
    expectSizesMatchFile(file);
    EXPECT_GE(file.size(), 46 + 5 * 10240);
    EXPECT_NEAR(soxInfo(r.request.path).seconds, (file.size() - 46) / 176400.0, 0.001);
}
