#include "app/window/single_instance.h"

#include <QDir>
#include <QStandardPaths>

SingleInstance::SingleInstance() : m_lock(std::make_unique<QLockFile>(lockPath()))
{
    m_lock->setStaleLockTime(0); // only a dead owner makes the lock stale
}

QString SingleInstance::lockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QStringLiteral("/sonoriel.lock");
}

bool SingleInstance::acquire()
{
    return m_lock->tryLock(0);
}
