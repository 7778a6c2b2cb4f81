/* Loaded with LD_PRELOAD into the program under test: every write at offset 0 of a file (where
 * a recording rewrites its header) first waits SONORIEL_TEST_SLOW_HEADER_MS milliseconds, as on
 * a slow or busy disk. Every other call goes straight to the C library. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef ssize_t (*pwrite_fn)(int, const void *, size_t, off_t);

static void waitAtOffsetZero(off_t offset)
{
    const char *text = getenv("SONORIEL_TEST_SLOW_HEADER_MS");
    if (offset != 0 || !text)
        return;
    const long ms = strtol(text, NULL, 10);
    struct timespec delay = {ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

ssize_t pwrite(int fd, const void *bytes, size_t count, off_t offset)
{
    static pwrite_fn next;
    if (!next)
        next = (pwrite_fn)dlsym(RTLD_NEXT, "pwrite");
    waitAtOffsetZero(offset);
    return next(fd, bytes, count, offset);
}

ssize_t pwrite64(int fd, const void *bytes, size_t count, off_t offset)
{
    static pwrite_fn next;
    if (!next)
        next = (pwrite_fn)dlsym(RTLD_NEXT, "pwrite64");
    waitAtOffsetZero(offset);
    return next(fd, bytes, count, offset);
}
