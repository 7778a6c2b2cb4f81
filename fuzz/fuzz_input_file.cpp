#include "fuzz_input_file.h"

#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int inputDescriptor()
{
    static const int fd = [] {
        const int made = ::memfd_create("sonoriel-fuzz-input", MFD_CLOEXEC);
        if (made < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        return made;
    }();
    return fd;
}

} // namespace

QString fuzzInputFile(const std::uint8_t *data, std::size_t size)
{
    const int fd = inputDescriptor();
    if (::ftruncate(fd, 0) != 0) {
        std::perror("ftruncate");
        std::abort();
    }
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = ::pwrite(fd, data + written, size - written, static_cast<off_t>(written));
        if (n <= 0) {
            std::perror("pwrite");
            std::abort();
        }
        written += static_cast<std::size_t>(n);
    }
    return QStringLiteral("/proc/self/fd/%1").arg(fd);
}
