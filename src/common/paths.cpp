#include "common/paths.h"

#include "common/file_names.h"

#include <QDir>
#include <QStandardPaths>

#include <sys/stat.h>

QString AddBackslash(const QString &path)
{
    const QChar separator = QDir::separator();
    return path.endsWith(separator) ? path : path + separator;
}

bool FileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    struct stat info {};
    return ::stat(fileNameBytes(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

QString programFolder()
{
    const QString home = qEnvironmentVariable("SONORIEL_HOME");
    if (!home.isEmpty())
        return AddBackslash(home);
    QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    if (music.isEmpty())
        music = QDir::homePath() + QStringLiteral("/Music");
    return AddBackslash(AddBackslash(music) + QStringLiteral("Sonoriel"));
}

QString ensureRecordingsFolder()
{
    const QString folder = programFolder() + QStringLiteral("Wav");
    if (!QDir().mkpath(folder))
        return {};
    return folder;
}
