// The output of a whole-file job (a join, a conversion) that must never leave a half-written
// file under its final name. The bytes go to a temporary file in the target's own folder, so
// that the final rename never crosses a file system; commit() pushes the file to the disk and
// renames it over the target in one step. Until then a file already under the target name is
// untouched, and unless commit() succeeded the destructor removes the temporary file, so a
// failure, a cancel or a full disk leaves the folder as it was.
//
// The temporary file is named to the command line's interrupt handling (InterruptCleanup), so
// that Ctrl+C, kill or a closed terminal removes it too.
//
// A target that exists but is not an ordinary file (a device such as /dev/null, a pipe) cannot
// be replaced by a rename: it is written directly, and commit() has nothing to rename. A target
// that is a symbolic link has the file it points to replaced; the link stays.
//
// Failures carry the French reason, naming the target.
#pragma once

#include "platform/files/file.h"

#include <QString>

#include <optional>

class ReplacementFile {
public:
    ReplacementFile() = default;
    ~ReplacementFile(); // removes the temporary file unless committed
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    // Creates the temporary file beside target. Refused when it cannot, and when target is a
    // file that may not be written or a folder.
    Status create(const QString &target);
    // Where the writer opens and writes the bytes until commit().
    const QString &writePath() const { return m_writePath; }
    const QString &targetPath() const { return m_target; }

    // Once the writer has closed the file: the permissions of the file it replaces, data to the
    // disk, then the rename over the target. When any of them fails the temporary file is
    // still there, for the destructor.
    Status commit();
    // Removes the temporary file now; the target stays as it was.
    void discard();

private:
    QString m_target;
    QString m_writePath;
    File m_file;                    // the temporary file, held open to push it to the disk at commit
    std::optional<unsigned> m_mode; // the permissions of the file being replaced
    bool m_direct = false;        // the target itself is written (device or pipe)
    bool m_pending = false;       // a temporary file exists that commit() has not renamed
};
