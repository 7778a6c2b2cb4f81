// The conversion window's name rules, apart from the window so that they read on their own.
#include "mp3/window/mp3_output_name.h"

#include "common/paths.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

bool isUsableMp3Name(const QString &name)
{
    if (FileExists(name))
        return false;
    const qsizetype separator = name.lastIndexOf(QDir::separator());
    if (separator <= 0)
        return false; // no folder named
    const QString folder = name.left(separator);
    if (!QFileInfo::exists(folder))
        return false;
    return name.size() - separator - 1 > 2;
}

QString proposedMp3Name(const QString &sourcePath)
{
    if (sourcePath.isEmpty())
        return {};
    const QString fileName = sourcePath.mid(sourcePath.lastIndexOf(QDir::separator()) + 1);
    // A name of four characters or fewer proposes nothing rather than failing.
    return fileName.left(std::max<qsizetype>(0, fileName.size() - 4));
}
