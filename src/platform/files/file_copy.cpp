#include "platform/files/file_copy.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

Failure readFailure(const QString &reason)
{
    return Failure{QStringLiteral("Erreur de lecture dans le fichier ") + reason};
}

Failure writeFailure(const QString &reason)
{
    return Failure{QStringLiteral("Erreur d'écriture dans le fichier ") + reason};
}

} // namespace

Result<CopyEnd> copyRangeThroughBuffer(const File &from, std::uint64_t offset, std::uint64_t bytes, File &to,
                                       std::span<std::uint8_t> buffer)
{
    if (buffer.empty())
        return readFailure(fileFailure(from.shownName(), EINVAL).reason);
    while (bytes > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, buffer.size()));
        const Result<std::size_t> got = from.readAt(offset, buffer.first(want));
        if (!got)
            return readFailure(got.reason());
        if (*got > 0) {
            if (const Status written = to.write(buffer.first(*got)); !written)
                return writeFailure(written.reason());
        }
        if (*got < want)
            return CopyEnd::SourceEnded;
        offset += *got;
        bytes -= *got;
    }
    return CopyEnd::Done;
}

Result<CopyEnd> copyRange(const File &from, std::uint64_t offset, std::uint64_t bytes, File &to,
                          std::span<std::uint8_t> buffer)
{
    constexpr std::uint64_t kLargestStep = std::uint64_t(1) << 30;
    while (bytes > 0) {
        loff_t sourceOffset = static_cast<loff_t>(offset);
        const ssize_t copied = ::copy_file_range(from.descriptor(), &sourceOffset, to.descriptor(), nullptr,
                                                 static_cast<std::size_t>(std::min(bytes, kLargestStep)), 0);
        if (copied > 0) {
            offset += static_cast<std::uint64_t>(copied);
            bytes -= static_cast<std::uint64_t>(copied);
            continue;
        }
        if (copied == 0)
            return CopyEnd::SourceEnded;
        const int error = errno;
        if (error == EINTR)
            continue;
        // The kernel cannot copy between these two files: the buffer does the rest.
        if (error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP || error == EBADF ||
            error == EPERM || error == ETXTBSY)
            break;
        // Which side failed is not told; a full disk or a quota is the usual cause.
        if (error == ENOSPC || error == EDQUOT || error == EFBIG)
            return writeFailure(fileFailure(to.shownName(), error).reason);
        return readFailure(fileFailure(from.shownName(), error).reason);
    }
    if (bytes == 0)
        return CopyEnd::Done;
    return copyRangeThroughBuffer(from, offset, bytes, to, buffer);
}
