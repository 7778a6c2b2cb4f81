#include "small_disk.h"

#include "common/system_error.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>

SmallDisk::SmallDisk(const QString &folder, qint64 bytes) : m_path(folder)
{
    QDir().mkpath(m_path);
    if (qEnvironmentVariable("SONORIEL_SMALL_DISK") != QLatin1String("limit")) {
        const QByteArray options = "size=" + QByteArray::number(bytes);
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0, options.constData()) == 0;
        if (m_mounted)
            return;
        m_why = QStringLiteral("tmpfs : %1 ; ").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    if (::getrlimit(RLIMIT_FSIZE, &m_savedLimit) != 0 || ::sigaction(SIGXFSZ, &ignore, &m_savedSignal) != 0) {
        m_why += QStringLiteral("RLIMIT_FSIZE : %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    rlimit limited = m_savedLimit;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    m_limited = ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
    if (!m_limited) {
        m_why += QStringLiteral("RLIMIT_FSIZE : %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        ::sigaction(SIGXFSZ, &m_savedSignal, nullptr);
    }
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    if (m_limited) {
        ::setrlimit(RLIMIT_FSIZE, &m_savedLimit);
        ::sigaction(SIGXFSZ, &m_savedSignal, nullptr);
    }
}

QStringList SmallDisk::entries() const
{
    return QDir(m_path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString SmallDisk::fullReason() const
{
    return systemErrorText(m_mounted ? ENOSPC : EFBIG);
}
