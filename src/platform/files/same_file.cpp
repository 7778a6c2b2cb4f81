#include "platform/files/same_file.h"

#include <QFile>

#include <sys/stat.h>

bool isSameFileOnDisk(const QString &first, const QString &second)
{
    // stat follows symbolic links: a link to an input names the input.
    struct stat a {};
    struct stat b {};
    if (::stat(QFile::encodeName(first).constData(), &a) != 0 ||
        ::stat(QFile::encodeName(second).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
