#include "platform/files/same_file.h"

#include "common/file_names.h"

#include <sys/stat.h>

bool isSameFileOnDisk(const QString &first, const QString &second)
{
    // stat follows symbolic links: a link to an input names the input.
    struct stat a {};
    struct stat b {};
    if (::stat(fileNameBytes(first).constData(), &a) != 0 ||
        ::stat(fileNameBytes(second).constData(), &b) != 0)
        return false;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}
