#include "mp3/lame_library.h"

#include "common/app_error.h"
#include "platform/library/private_library.h"

#include <QFileInfo>
#include <QStringList>

namespace {

constexpr const char *kLibraryName = "liblameencshim.so";

// $SONORIEL_LAME_SHIM when set; else the program's own library folders, then the system's
// library path.
QStringList candidates()
{
    const QString chosen = qEnvironmentVariable("SONORIEL_LAME_SHIM");
    if (!chosen.isEmpty())
        return {chosen};
    return privateLibraryCandidates(QLatin1String(kLibraryName)) << QLatin1String(kLibraryName);
}

template <typename Function>
void resolve(SharedLibrary &library, Function &slot, const char *name, const QString &operation)
{
    const Result<void *> address = library.symbol(name);
    if (!address)
        throw AppError(453, address.reason(), errorSource(operation));
    slot = reinterpret_cast<Function>(*address);
}

} // namespace

std::shared_ptr<LameLibrary> LameLibrary::load(const QString &operation)
{
    auto loaded = std::make_shared<LameLibrary>();
    QString refused;  // the loader's message for a file that exists but would not load
    QString notFound; // the message for a library found nowhere
    for (const QString &path : candidates()) {
        // A bare name is searched by the loader itself; a path must name an existing file.
        const bool bare = !path.contains(QLatin1Char('/'));
        if (!bare && !QFileInfo::exists(path)) {
            if (notFound.isEmpty())
                notFound = QStringLiteral("%1: cannot open shared object file: No such file or directory").arg(path);
            continue;
        }
        const Status opened = loaded->m_library.open(path);
        if (opened)
            break;
        if (bare)
            notFound = opened.reason();
        else if (refused.isEmpty())
            refused = opened.reason();
    }
    if (!loaded->m_library.isOpen()) {
        if (!refused.isEmpty())
            throw AppError(48, refused, errorSource(operation));
        throw AppError(53, notFound, errorSource(operation));
    }

    resolve(loaded->m_library, loaded->beInitStream, "beInitStream", operation);
    resolve(loaded->m_library, loaded->beEncodeChunk, "beEncodeChunk", operation);
    resolve(loaded->m_library, loaded->beDeinitStream, "beDeinitStream", operation);
    resolve(loaded->m_library, loaded->beCloseStream, "beCloseStream", operation);
    resolve(loaded->m_library, loaded->beVersion, "beVersion", operation);
    resolve(loaded->m_library, loaded->beInfoTag, "beInfoTag", operation);
    return loaded;
}
