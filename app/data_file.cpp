// The installed data folder and the case-insensitive opening of data files.
// Owns InstalledDataFolder.
#include "app/data_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/checked_file.h"

// The install rules give the data folder's place relative to the programs'.
#ifndef KORVATH_DATA_FROM_BIN
#define KORVATH_DATA_FROM_BIN "../share/korvath"
#endif

std::string InstalledDataFolder;

void findInstalledData() {
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) return;
    std::string folder(exe, static_cast<size_t>(length));
    folder.erase(folder.rfind('/') + 1);
    folder += KORVATH_DATA_FROM_BIN;
    char* real = realpath(folder.c_str(), nullptr);
    if (real == nullptr) return;
    struct stat info;
    if (stat(real, &info) == 0 && S_ISDIR(info.st_mode)) InstalledDataFolder = real;
    std::free(real);
}

namespace {

// The entry of dir whose name equals part without regard to case, or "".
std::string findEntryIgnoringCase(const std::string& dir, const std::string& part) {
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return "";
    std::string found;
    while (dirent* e = readdir(d)) {
        if (strcasecmp(e->d_name, part.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

// Only a name that is not there is looked for under other cases: a pipe or a
// folder under the very name is refused as what it is.
FILE* openIgnoringCase(const std::string& path) {
    if (FILE* f = openRegularFile(path.c_str())) return f;
    if (errno != ENOENT) return nullptr;
    std::string resolved = (!path.empty() && path[0] == '/') ? "/" : "";
    size_t start = resolved.size();
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        std::string part =
            path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (!part.empty()) {
            std::string dir = resolved;
            if (!dir.empty() && dir.back() == '/') dir.pop_back();
            std::string entry =
                findEntryIgnoringCase(dir.empty() && resolved == "/" ? "/" : dir, part);
            if (entry.empty()) {
                errno = ENOENT;
                return nullptr;
            }
            if (!resolved.empty() && resolved.back() != '/') resolved += '/';
            resolved += entry;
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return openRegularFile(resolved.c_str());
}

} // namespace

bool readWholeFile(const char* fileName, std::string* text, unsigned* mode) {
    FILE* file = openRegularFile(fileName);
    if (file == nullptr) return false;
    struct stat status {};
    if (mode != nullptr && ::fstat(::fileno(file), &status) == 0) *mode = status.st_mode & 07777;
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        text->append(chunk, got);
    const int error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    errno = error;
    return error == 0;
}

FILE* openDataFile(const char* name) {
    if (FILE* f = openIgnoringCase(name)) return f;
    // Only a missing file falls back: one the player put there is never passed over.
    if (errno != ENOENT || InstalledDataFolder.empty() || name[0] == '/') return nullptr;
    return openIgnoringCase(InstalledDataFolder + "/" + name);
}
