// The checked opens of checked_file.h: every file the game and its tools read
// goes through openRegularFile, every picture a tool or a script writes through
// openWriteTarget. Stateless.
#include "platform/checked_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

static_assert(NotRegularFileError == EINVAL);

namespace {

// The errno that refuses a descriptor of this kind, or 0 to keep it. Reading
// takes regular files only; writing also a character device such as /dev/full,
// whose own write error is the clearest answer.
int refusalFor(mode_t mode, bool writing) {
    if (S_ISREG(mode) || (writing && S_ISCHR(mode))) return 0;
    return S_ISDIR(mode) ? EISDIR : NotRegularFileError;
}

// Opens path with flags plus O_NONBLOCK, so that a pipe cannot make the open
// wait for its other end; after the check the descriptor blocks again, and
// reads and writes behave as they always do. -1 with errno set on refusal.
int openChecked(const char* path, int flags, bool writing) {
    const int fd = ::open(path, flags | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    struct stat status {};
    int error = ::fstat(fd, &status) != 0 ? errno : refusalFor(status.st_mode, writing);
    const int state = error == 0 ? ::fcntl(fd, F_GETFL) : -1;
    if (error == 0 && (state == -1 || ::fcntl(fd, F_SETFL, state & ~O_NONBLOCK) != 0))
        error = errno;
    if (error == 0) return fd;
    ::close(fd);
    errno = error;
    return -1;
}

} // namespace

FILE* openRegularFile(const char* path) {
    const int fd = openChecked(path, O_RDONLY, false);
    if (fd < 0) return nullptr;
    FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

int openWriteTarget(const char* path) {
    const int fd = openChecked(path, O_WRONLY | O_CREAT | O_TRUNC, true);
    // A pipe without a reader fails the non-blocking open with ENXIO: say what it is.
    struct stat status {};
    if (fd < 0 && errno == ENXIO && ::stat(path, &status) == 0 && S_ISFIFO(status.st_mode))
        errno = NotRegularFileError;
    return fd;
}

const char* openFailureText(int error) {
    if (error == NotRegularFileError) return "not a regular file (a named pipe, socket or device)";
    return std::strerror(error);
}
