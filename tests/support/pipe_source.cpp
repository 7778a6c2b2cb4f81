// Writing samples into a pipe source's FIFO without ever blocking the test for good.
#include "pipe_source.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kWriteStallMs = 2000;

QString systemError(const char *what)
{
    return QString::fromLatin1(what) + QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

PipeSource::~PipeSource()
{
    close();
}

QString PipeSource::open(const QString &path)
{
    // A write into the FIFO of a server that has died must fail, not end the test program.
    if (std::signal(SIGPIPE, SIG_IGN) == SIG_ERR)
        return systemError("cannot ignore SIGPIPE: ");
    // Non-blocking, so the open fails at once (ENXIO) instead of hanging when nobody reads the
    // FIFO, and a write waits for the reader only as long as kWriteStallMs.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return systemError("cannot open the pipe source's FIFO: ");
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
    return {};
}

void PipeSource::close()
{
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}

bool PipeSource::write(std::span<const std::int16_t> samples)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (const std::int16_t sample : samples) {
        const auto value = static_cast<std::uint16_t>(sample);
        bytes.push_back(static_cast<std::uint8_t>(value));
        bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return false;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + written, bytes.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || errno != EAGAIN)
            return false;
        pollfd ready{m_fd, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, kWriteStallMs);
        if (polled == 0)
            return false; // the reader has stopped reading
        if (polled < 0 && errno != EINTR)
            return false;
    }
    return true;
}
