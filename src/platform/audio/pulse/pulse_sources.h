// The server's capture sources as the device list shows them: real inputs first, then the
// monitors of the outputs, each group in the server's index order.
#pragma once

#include "platform/audio/pulse/pulse_connection.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

struct PulseSource {
    std::uint32_t index = 0;
    QString name;        // what a stream is connected to
    QString description; // what the user sees; the name when the server gives none
    bool isMonitor = false;
};

// Locks the connection itself. Fails when the server did not answer.
Result<std::vector<PulseSource>> listPulseSources(PulseConnection &connection);

// Locks the connection itself. Fails when the source is gone or the server did not answer.
Result<PulseSource> findPulseSource(PulseConnection &connection, const QString &name);

// Puts real inputs before monitors, each group by index.
void sortPulseSources(std::vector<PulseSource> &sources);
