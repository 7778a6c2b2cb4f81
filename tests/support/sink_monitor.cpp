#include "sink_monitor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

SinkMonitor::SinkMonitor(const PrivateSoundServer &server)
{
    m_process.start(QStringLiteral("parec"), {"--server", server.serverAddress(), "-d",
                                              server.sinkName() + ".monitor", "--raw",
                                              "--format=s16le", "--rate=44100", "--channels=2"});
    m_process.waitForStarted();
}

SinkMonitor::~SinkMonitor()
{
    m_process.kill();
    m_process.waitForFinished();
}

int SinkMonitor::peak()
{
    m_heard += m_process.readAllStandardOutput();
    int peak = 0;
    for (qsizetype i = 0; i + 1 < m_heard.size(); i += 2) {
        const auto sample = static_cast<std::int16_t>(std::uint8_t(m_heard[i]) | (std::uint8_t(m_heard[i + 1]) << 8));
        peak = std::max(peak, std::abs(int(sample)));
    }
    return peak;
}
