// A 64 KiB file system of its own (tmpfs), mounted over a folder for the life of the object, so
// that a test can fill a disk without filling the machine's. The tests run as root; when the
// mount fails, mounted() is false and the test fails on it rather than skipping.
#pragma once

#include <QString>
#include <QStringList>

class SmallDisk {
public:
    explicit SmallDisk(const QString &folder);
    ~SmallDisk();

    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    const QString &path() const { return m_path; }
    // Every name in the folder, hidden ones included.
    QStringList entries() const;

private:
    QString m_path;
    bool m_mounted = false;
};
