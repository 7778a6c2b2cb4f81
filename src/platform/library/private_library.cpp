#include "platform/library/private_library.h"

#include "common/file_names.h"

#include <QDir>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace {

// The folder of the running executable, whether or not a Qt application exists yet; empty
// when the system does not say.
QString executableFolder()
{
    char target[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", target, sizeof target);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof target))
        return {};
    return QFileInfo(fileNameFromBytes(QByteArrayView(target, length))).absolutePath();
}

} // namespace

QStringList privateLibraryCandidates(const QString &fileName)
{
    QStringList paths;
    if (const QString folder = executableFolder(); !folder.isEmpty()) {
        paths << folder + QLatin1Char('/') + fileName;
        paths << QDir::cleanPath(folder + QStringLiteral("/" SONORIEL_PRIVATE_DIR_FROM_BIN "/") + fileName);
    }
    paths << QStringLiteral(SONORIEL_PRIVATE_DIR "/") + fileName;
    paths.removeDuplicates();
    return paths;
}

QString findPrivateLibrary(const QString &fileName)
{
    const QStringList paths = privateLibraryCandidates(fileName);
    for (const QString &path : paths)
        if (QFileInfo::exists(path))
            return path;
    return paths.constFirst();
}
