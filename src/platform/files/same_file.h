// Whether two paths name one file: the same device and inode, so that a second name made by a
// hard link or a symbolic link (or a path spelt another way) is seen for what it is. Used to
// refuse an output that would overwrite one of the inputs before anything is opened for writing.
#pragma once

#include <QString>

// False when either path does not exist (or cannot be examined).
bool isSameFileOnDisk(const QString &first, const QString &second);
