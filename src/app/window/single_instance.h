// The single-instance test: a lock file in the user's runtime folder, held as long as this
// object lives. A second start finds it held and ends before creating any window.
#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

class SingleInstance {
public:
    SingleInstance();

    // True when this process now holds the lock (no other instance runs). A lock left by a
    // process that has died is taken over.
    bool acquire();

    static QString lockPath();

private:
    std::unique_ptr<QLockFile> m_lock;
};
