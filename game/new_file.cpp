// writeNewNumberedFile: exclusive creation and removal of what a failed write
// leaves. Stateless.
#include "game/new_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

#include "platform/platform.h"

namespace {

// O_EXCL fails on anything already there, links included, so a FIFO or a device
// under the name is skipped like any earlier picture instead of being opened.
int openNewFile(const char* name) {
    return ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
}

int createFirstFree(const char* pattern, int* counter, char* name, size_t nameSize) {
    for (int number = *counter; number >= 0 && number < INT_MAX; ++number) {
        std::snprintf(name, nameSize, pattern, number);
        const int fd = openNewFile(name);
        if (fd >= 0) {
            *counter = number + 1;
            return fd;
        }
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

// Fills the file just created and closes it; what a failed write leaves is removed.
int fillNewFile(int fd, const char* name, const void* bytes, size_t size) {
    const bool written = writeAllBytes(fd, bytes, size);
    const int writeError = errno;
    const bool closed = ::close(fd) == 0;
    if (written && closed) return 0;
    const int error = written ? errno : writeError;
    ::unlink(name);
    errno = error;
    return -1;
}

} // namespace

int writeNewNumberedFile(const char* pattern, int* counter, const void* bytes, size_t size,
                         char* name, size_t nameSize) {
    const int fd = createFirstFree(pattern, counter, name, nameSize);
    if (fd < 0) return -1;
    return fillNewFile(fd, name, bytes, size);
}

int writeNewFile(const char* name, const void* bytes, size_t size) {
    const int fd = openNewFile(name);
    if (fd < 0) return -1;
    return fillNewFile(fd, name, bytes, size);
}
