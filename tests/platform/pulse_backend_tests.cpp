// The sound server as the device list sees it: which sources are listed and in what order,
// their mixers, and what happens when no server answers or the server goes away.
#include "capture_helpers.h"

#include <QTemporaryDir>

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
    explicit SilentSocket(const QString &path) : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = path.toLocal8Bit();
        if (m_fd < 0 || bytes.size() >= static_cast<qsizetype>(sizeof(address.sun_path)))
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

QString monitorDescription(const PulseServer &server)
{
    return QStringLiteral("Monitor of ") + server.sinkDescription();
}

using PulseDeviceList = PulseTest;

} // namespace

TEST_F(PulseDeviceList, ListsTheInputBeforeTheMonitorAndOpensMixersForListedDevicesOnly)
{
    EXPECT_EQ(backend->backendName(), "pulse");
    ASSERT_EQ(backend->deviceCount(), 2);
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    EXPECT_EQ(backend->deviceName(1), monitorDescription(server));
    for (const int outside : {2, -1}) {
        EXPECT_EQ(backend->deviceName(outside), QString());
        EXPECT_FALSE(backend->openMixer(outside));
    }
    EXPECT_TRUE(backend->openMixer(0));
    EXPECT_TRUE(backend->openMixer(1));
}

TEST_F(PulseDeviceList, KeepsInputsAheadOfMonitorsInTheServersOrder)
{
    // A second output (its monitor comes after the first one's) and a second input, created
    // after both monitors, so only the grouping puts it second.
    ASSERT_FALSE(server.pactl({"load-module", "module-null-sink", "sink_name=second_sink",
                               "sink_properties=device.description=Deuxième"}).isEmpty());
    ASSERT_FALSE(server.pactl({"load-module", "module-null-source", "source_name=second_source",
                               "description=Silence"}).isEmpty());
    ASSERT_EQ(backend->deviceCount(), 4);
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    EXPECT_EQ(backend->deviceName(1), "Silence");
    EXPECT_EQ(backend->deviceName(2), monitorDescription(server));
    EXPECT_EQ(backend->deviceName(3), "Monitor of Deuxième");
}

TEST_F(PulseDeviceList, ARemovedSourceOpensNoMixerNorDeviceAndLeavesTheNextCount)
{
    ASSERT_EQ(index, 0);
    ASSERT_TRUE(server.removeSource());
    // The names stay those of the list as last read until the list is read again.
    EXPECT_EQ(backend->deviceName(0), server.sourceDescription());
    EXPECT_FALSE(backend->openMixer(index));
    EXPECT_FALSE(open());
    EXPECT_EQ(error, "Le périphérique de capture « Entrée de test Sonoriel » n'existe plus.");
    EXPECT_TRUE(sourceOutputs(server).isEmpty()) << "a failed open left a stream on the server";
    ASSERT_EQ(backend->deviceCount(), 1);
    EXPECT_EQ(backend->deviceName(0), monitorDescription(server));
}

TEST(PulseConnection, ReportsInFrenchWhenNoServerListensOrAnswers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SilentSocket silent(dir.filePath("silent"));
    ASSERT_TRUE(silent.isListening());
    for (const char *name : {"no-server", "silent"}) {
        SCOPED_TRACE(name);
        ServerVariable address(QStringLiteral("unix:") + dir.filePath(name));
        QString error;
        EXPECT_FALSE(createPulseBackend(&error));
        EXPECT_EQ(error, "Le serveur de son ne répond pas (PulseAudio/PipeWire).");
        EXPECT_FALSE(createPulseBackend(nullptr));
    }
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
    auto device = backend->openDevice(0, kCdStereo, collector, &error);
    ASSERT_TRUE(device) << error.toStdString();
    BufferRing ring(5, kBufferBytes);
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
    EXPECT_FALSE(backend->openDevice(-1, kCdStereo, other, &error));
    EXPECT_FALSE(error.isEmpty());

    // The open device still gives its buffers back and closes.
    device->stop();
    EXPECT_EQ(device->reset().size(), 5u);
    device->close();
    EXPECT_FALSE(device->start());
}
