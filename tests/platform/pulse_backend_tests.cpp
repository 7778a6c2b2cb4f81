// The sound server as the device list sees it: which sources are listed and in what order,
// their mixers, and what happens when no server answers or the server goes away.
#include "platform/audio/pulse/pulse_backend.h"

#include "capture_helpers.h"
#include "support/pulse_server.h"
#include "support/tools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Points PULSE_SERVER somewhere else for a scope.
class ServerVariable {
public:
    explicit ServerVariable(const QString &value)
        : m_had(qEnvironmentVariableIsSet("PULSE_SERVER")), m_previous(qgetenv("PULSE_SERVER"))
    {
        qputenv("PULSE_SERVER", value.toUtf8());
    }
    ~ServerVariable()
    {
        if (m_had)
            qputenv("PULSE_SERVER", m_previous);
        else
            qunsetenv("PULSE_SERVER");
    }

private:
    bool m_had;
    QByteArray m_previous;
};

// A unix socket that accepts connections into its backlog and never says a word.
class SilentSocket {
public:
    explicit SilentSocket(const QString &path)
    {
        m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = path.toLocal8Bit();
        if (bytes.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
            return;
        std::copy(bytes.begin(), bytes.end(), address.sun_path);
        m_listening = ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
                      ::listen(m_fd, 8) == 0;
    }
    ~SilentSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isListening() const { return m_listening; }

private:
    int m_fd = -1;
    bool m_listening = false;
};

int indexOfDevice(AudioBackend &backend, const QString &description)
{
    const int count = backend.deviceCount();
    for (int i = 0; i < count; ++i) {
        if (backend.deviceName(i) == description)
            return i;
    }
    return -1;
}

QString monitorDescription(const PulseServer &server)
{
    return QStringLiteral("Monitor of ") + server.sinkDescription();
}

} // namespace

TEST(PulseDeviceList, ListsTheInputBeforeTheMonitorOfTheOutput)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();

    EXPECT_EQ(backend->backendName(), "pulse");
    ASSERT_EQ(backend->deviceCount(), 2);
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    EXPECT_EQ(backend->deviceName(1), monitorDescription(server));
    EXPECT_EQ(backend->deviceName(2), QString());
    EXPECT_EQ(backend->deviceName(-1), QString());
}

TEST(PulseDeviceList, KeepsInputsAheadOfMonitorsInTheServersOrder)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    // A second output (its monitor comes after the first one's) and a second input, created
    // after both monitors, so only the grouping puts it second.
    ASSERT_FALSE(server.pactl({"load-module", "module-null-sink", "sink_name=second_sink",
                               "sink_properties=device.description=Deuxième"})
                     .isEmpty());
    ASSERT_FALSE(server.pactl({"load-module", "module-null-source", "source_name=second_source",
                               "description=Silence"})
                     .isEmpty());
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();

    ASSERT_EQ(backend->deviceCount(), 4);
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    EXPECT_EQ(backend->deviceName(1), "Silence");
    EXPECT_EQ(backend->deviceName(2), monitorDescription(server));
    EXPECT_EQ(backend->deviceName(3), "Monitor of Deuxième");
}

TEST(PulseDeviceList, IsReadAfreshByEveryCount)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();
    ASSERT_EQ(backend->deviceCount(), 2);

    ASSERT_TRUE(server.removeSource());
    // The names stay those of the list as last read until the list is read again.
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    ASSERT_EQ(backend->deviceCount(), 1);
    EXPECT_EQ(backend->deviceName(0), monitorDescription(server));
}

TEST(PulseMixer, OpensForAListedDeviceOnly)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();
    const int count = backend->deviceCount();
    ASSERT_EQ(count, 2);

    EXPECT_TRUE(backend->openMixer(0));
    EXPECT_TRUE(backend->openMixer(1));
    EXPECT_FALSE(backend->openMixer(count));
    EXPECT_FALSE(backend->openMixer(-1));
}

TEST(PulseMixer, DoesNotOpenForASourceThatHasGone)
{
    PulseServer server;
    ASSERT_TRUE(server.isRunning()) << server.errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();
    const int index = indexOfDevice(*backend, server.sourceDescription());
    ASSERT_GE(index, 0);

    ASSERT_TRUE(server.removeSource());
    EXPECT_FALSE(backend->openMixer(index));
}

TEST(PulseConnection, ReportsInFrenchWhenNoServerListens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ServerVariable nowhere(QStringLiteral("unix:") + dir.filePath("no-server"));

    QString error;
    EXPECT_FALSE(createPulseBackend(&error));
    EXPECT_EQ(error, "Le serveur de son ne répond pas (PulseAudio/PipeWire).");
    EXPECT_FALSE(createPulseBackend(nullptr));
}

TEST(PulseConnection, GivesUpOnAServerThatNeverAnswers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("silent");
    SilentSocket silent(path);
    ASSERT_TRUE(silent.isListening());
    ServerVariable mute(QStringLiteral("unix:") + path);

    QString error;
    EXPECT_FALSE(createPulseBackend(&error));
    EXPECT_EQ(error, "Le serveur de son ne répond pas (PulseAudio/PipeWire).");
}

TEST(PulseConnection, SurvivesTheServerGoingAway)
{
    std::optional<PulseServer> server(std::in_place);
    ASSERT_TRUE(server->isRunning()) << server->errorText().toStdString();
    QString error;
    auto backend = createPulseBackend(&error);
    ASSERT_TRUE(backend) << error.toStdString();
    ASSERT_EQ(backend->deviceCount(), 2);

    BlockCollector collector;
    auto device = backend->openDevice(0, WaveFormat::pcm(44100, 2, 16), collector, &error);
    ASSERT_TRUE(device) << error.toStdString();
    BufferRing ring(5, 10240);
    ASSERT_TRUE(ring.queueAll(*device));
    ASSERT_TRUE(device->start());

    server.reset();

    ASSERT_TRUE(waitUntil([&] { return collector.failures() > 0; }))
        << "the running device did not report the lost server";
    EXPECT_EQ(collector.failures(), 1);
    EXPECT_EQ(collector.notices(), collector.noticesBeforeFailure());
    EXPECT_EQ(backend->deviceCount(), 0);
    EXPECT_EQ(backend->deviceName(0), QString());
    EXPECT_FALSE(backend->openMixer(0));
    error.clear();
    BlockCollector other;
    EXPECT_FALSE(backend->openDevice(-1, WaveFormat::pcm(44100, 2, 16), other, &error));
    EXPECT_FALSE(error.isEmpty());

    // The open device still gives its buffers back and closes.
    device->stop();
    EXPECT_EQ(device->reset().size(), 5u);
    device->close();
    EXPECT_FALSE(device->start());
}
