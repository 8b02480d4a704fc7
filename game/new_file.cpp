// writeNewNumberedFile: exclusive creation, a write loop that survives short
// writes and signals, and removal of what a failed write leaves. Stateless.
#include "game/new_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

bool writeAll(int fd, const unsigned char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// O_EXCL fails on anything already there, links included, so a FIFO or a device
// under the name is skipped like any earlier picture instead of being opened.
int createFirstFree(const char* pattern, int* counter, char* name, size_t nameSize) {
    for (int number = *counter; number >= 0 && number < INT_MAX; ++number) {
        std::snprintf(name, nameSize, pattern, number);
        const int fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd >= 0) {
            *counter = number + 1;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

int writeNewNumberedFile(const char* pattern, int* counter, const void* bytes, size_t size,
                         char* name, size_t nameSize) {
    const int fd = createFirstFree(pattern, counter, name, nameSize);
    if (fd < 0) return -1;
    const bool written = writeAll(fd, static_cast<const unsigned char*>(bytes), size);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return 0;
    const int error = written ? errno : writeError;
    ::unlink(name);
    errno = error;
    return -1;
}
