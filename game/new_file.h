// Numbered files that never replace anything ("page%d.raw", "game%d.pdn").
// Stateless: each caller keeps the counter that numbers its own files.
#pragma once

#include <cstddef>

// Writes size bytes to a new file named by pattern (one %d) with the first
// number from *counter up whose file does not exist, and leaves *counter one
// past it and the file's name in name. Only a file it creates itself is ever
// opened, so an existing picture, a pipe, a device or a link is never touched;
// a write that fails removes the partial file. Returns 0, or -1 with errno set.
int writeNewNumberedFile(const char* pattern, int* counter, const void* bytes, size_t size,
                         char* name, size_t nameSize);
// Writes size bytes to a new file of that name, the same way; fails with EEXIST
// when anything has the name already.
int writeNewFile(const char* name, const void* bytes, size_t size);
