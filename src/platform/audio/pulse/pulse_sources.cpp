// Reading the server's source list through pa_context_get_source_info_*.
#include "platform/audio/pulse/pulse_sources.h"

#include <pulse/introspect.h>

#include <algorithm>

namespace {

struct SourceQuery {
    std::vector<PulseSource> sources;
    bool failed = false;
};

PulseSource toSource(const pa_source_info &info)
{
    PulseSource source;
    source.index = info.index;
    source.name = QString::fromUtf8(info.name ? info.name : "");
    source.description = QString::fromUtf8(info.description ? info.description : "");
    if (source.description.isEmpty())
        source.description = source.name;
    source.isMonitor = info.monitor_of_sink != PA_INVALID_INDEX;
    return source;
}

void sourceArrived(pa_context *, const pa_source_info *info, int eol, void *userdata)
{
    auto *query = static_cast<SourceQuery *>(userdata);
    if (eol < 0)
        query->failed = true;
    else if (eol == 0 && info)
        query->sources.push_back(toSource(*info));
}

} // namespace

void sortPulseSources(std::vector<PulseSource> &sources)
{
    std::stable_sort(sources.begin(), sources.end(), [](const PulseSource &a, const PulseSource &b) {
        if (a.isMonitor != b.isMonitor)
            return !a.isMonitor;
        return a.index < b.index;
    });
}

Result<std::vector<PulseSource>> listPulseSources(PulseConnection &connection)
{
    PulseLock lock(connection.mainloop());
    if (!connection.isReady())
        return Failure{pulseServerUnreachableText()};
    SourceQuery query;
    PulseOperationPtr operation(
        pa_context_get_source_info_list(connection.context(), sourceArrived, &query));
    if (!connection.finish(std::move(operation)) || query.failed)
        return Failure{pulseServerUnreachableText()};
    sortPulseSources(query.sources);
    return query.sources;
}

Result<PulseSource> findPulseSource(PulseConnection &connection, const QString &name)
{
    PulseLock lock(connection.mainloop());
    if (!connection.isReady())
        return Failure{pulseServerUnreachableText()};
    SourceQuery query;
    const QByteArray utf8 = name.toUtf8();
    PulseOperationPtr operation(pa_context_get_source_info_by_name(
        connection.context(), utf8.constData(), sourceArrived, &query));
    if (!connection.finish(std::move(operation)) || query.failed || query.sources.empty())
        return Failure{QStringLiteral("La source « %1 » n'est plus sur le serveur de son.").arg(name)};
    return query.sources.front();
}
