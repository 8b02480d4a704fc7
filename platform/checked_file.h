// Opening files without ever blocking on what stands under their name: a named
// pipe, a socket or a device where a file is expected is refused with a reason
// instead of being waited on for ever. Stateless.
#pragma once

#include <cstdio>

// errno after a refusal of something that is neither a regular file nor (for
// reading) a folder: a named pipe, a socket or a device. A plain open never
// answers EINVAL for a read-only or create-and-write open, so it cannot be
// mistaken for a real failure of the system.
constexpr int NotRegularFileError = 22; // EINVAL

// Opens path for reading only when it is a regular file (links followed): the
// open itself cannot block, and anything else is closed again at once.
// Returns the stream, or nullptr with errno set (EISDIR for a folder,
// NotRegularFileError for a pipe, socket or device, else the open's own).
FILE* openRegularFile(const char* path);

// Opens path for writing from its start (created 0644, emptied) when it is a
// regular file or a character device (/dev/full then fails with its own error);
// a pipe, socket, folder or disk is refused. Returns the descriptor, or -1 with
// errno set.
int openWriteTarget(const char* path);

// The reason for errno after one of the opens above, in words for a message.
const char* openFailureText(int error);
