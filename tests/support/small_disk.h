// A small disk for a test to fill without filling the machine's, for the life of the object.
// Where the test may mount one (as root), a tmpfs of `bytes` (whole pages) over `folder`: a write
// past it fails with ENOSPC, for the test process and every program it starts. Elsewhere a
// limit on the size of every file that the test process and the programs it starts write
// (RLIMIT_FSIZE, with SIGXFSZ ignored): a write past it fails with EFBIG, in any folder, so the
// test writes its large inputs before the disk exists and reads its results back once it is
// gone. SONORIEL_SMALL_DISK=limit asks for the limit even where a tmpfs could be mounted.
#pragma once

#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

class SmallDisk {
public:
    explicit SmallDisk(const QString &folder, qint64 bytes = 64 * 1024);
    ~SmallDisk();

    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    // False when neither a tmpfs nor the limit could be had; why() then says so.
    bool ready() const { return m_mounted || m_limited; }
    const QString &why() const { return m_why; }
    bool mounted() const { return m_mounted; }
    const QString &path() const { return m_path; }
    // Every name in the folder, hidden ones included.
    QStringList entries() const;
    // What the program says of a write that the disk refused, as systemErrorText() words it:
    // no space on the tmpfs, a file too large under the limit.
    QString fullReason() const;

private:
    QString m_path;
    bool m_mounted = false;
    bool m_limited = false;
    QString m_why;
    rlimit m_savedLimit {};
    struct sigaction m_savedSignal {};
};
