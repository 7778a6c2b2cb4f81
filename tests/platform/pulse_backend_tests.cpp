// The sound server as the device list sees it: which sources are listed and in what order,
// their mixers, and what happens when no server answers or the server goes away.
#include "capture_helpers.h"

#include <QLocalServer>
#include <QScopeGuard>
#include <QTemporaryDir>

namespace {

QString monitorDescription(const PulseServer &server)
{
    return QStringLiteral("Monitor of ") + server.sinkDescription();
}

using PulseDeviceList = PulseTest;

} // namespace

TEST_F(PulseDeviceList, ListsInputsAheadOfMonitorsInTheServersOrderWithMixersForListedDevicesOnly)
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

TEST_F(PulseDeviceList, ARemovedSourceOpensNothingAndDropsOutAtTheNextCount)
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
    QLocalServer silent; // accepts connections and never says a word
    ASSERT_TRUE(silent.listen(dir.filePath("silent"))) << silent.errorString().toStdString();
    const bool had = qEnvironmentVariableIsSet("PULSE_SERVER");
    const QByteArray previous = qgetenv("PULSE_SERVER");
    const auto restore = qScopeGuard([&] {
        had ? qputenv("PULSE_SERVER", previous) : qunsetenv("PULSE_SERVER");
    });
    for (const char *name : {"no-server", "silent"}) {
        SCOPED_TRACE(name);
        qputenv("PULSE_SERVER", (QStringLiteral("unix:") + dir.filePath(name)).toUtf8());
        QString error;
        EXPECT_FALSE(valueOr(createPulseBackend(), error));
        EXPECT_EQ(error, "Le serveur de son ne répond pas (PulseAudio/PipeWire).");
        EXPECT_FALSE(createPulseBackend().ok());
    }
}

TEST_F(PulseDeviceList, SurvivesTheServerGoingAway)
{
    ASSERT_TRUE(open()) << error.toStdString();
    BufferRing ring(5, kBufferBytes);
    ASSERT_TRUE(start(ring));

    running.reset();
    expectOneFailureNotice();
    EXPECT_EQ(backend->deviceCount(), 0);
    EXPECT_EQ(backend->deviceName(0), QString());
    EXPECT_FALSE(backend->openMixer(0));
    error.clear();
    BlockCollector other;
    EXPECT_FALSE(valueOr(backend->openDevice(-1, kCdStereo, other), error));
    EXPECT_FALSE(error.isEmpty());

    // The open device still gives its buffers back and closes.
    device->stop();
    EXPECT_EQ(device->reset().size(), 5u);
    device->close();
    EXPECT_FALSE(device->start());
}
