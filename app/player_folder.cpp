// Setting up the player's folder of an installed game (see player_folder.h).
// Owns PlayerFolder; the failure text is kept in a buffer local to this file,
// rewritten by each failing call.
#include "app/player_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/data_file.h"
#include "platform/checked_file.h"
#include "platform/platform.h"

std::string PlayerFolder;

namespace {

// The last failure of enterPlayerFolder, for the error box; rewritten by each.
char failureText[700];

const char* failure(const char* format, const std::string& path, const char* cause) {
    std::snprintf(failureText, sizeof failureText, format, path.c_str(), cause);
    return failureText;
}

// $XDG_DATA_HOME/korvath; a relative XDG_DATA_HOME is ignored, as the base
// directory rules ask. "" when not even HOME is set.
std::string playerFolderPath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/korvath";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') return "";
    return std::string(home) + "/.local/share/korvath";
}

// mkdir -p; the base folders the game creates are private to the player.
// nullptr, or why the folder cannot be made.
const char* makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            if (errno == ENOTDIR) return "a file stands in the place of one of its folders";
            return std::strerror(errno);
        }
        if (slash == std::string::npos) break;
    }
    struct stat status {};
    if (stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode))
        return "a file stands in its place";
    return nullptr;
}

// Copies every byte of in to fd; false with the reason in errno.
bool copyBytes(FILE* in, int fd) {
    char chunk[4096];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        if (!writeAllBytes(fd, chunk, got)) return false;
    if (std::ferror(in)) return false;
    return fsync(fd) == 0;
}

// Copies the installed default settings to folder/SETTINGS.TXT. The copy is
// written whole under a name of its own and only then linked into place, so
// a second start at the same moment, or any later start after this one was
// killed, finds no file or a full one; a link never replaces a file the
// player already has.
const char* copyDefaultSettings(const std::string& folder) {
    const std::string source = InstalledDataFolder + "/SETTINGS.TXT";
    FILE* in = openRegularFile(source.c_str());
    if (in == nullptr)
        return failure("the default settings cannot be read from %s: %s", source,
                       openFailureText(errno));
    std::string draft = folder + "/.SETTINGS.TXT.XXXXXX";
    const int fd = mkstemp(draft.data());
    bool copied = fd >= 0 && copyBytes(in, fd);
    int error = errno;
    std::fclose(in);
    if (fd >= 0 && close(fd) != 0 && copied) {
        copied = false;
        error = errno;
    }
    const std::string target = folder + "/SETTINGS.TXT";
    if (copied && link(draft.c_str(), target.c_str()) != 0 && errno != EEXIST) {
        copied = false;
        error = errno;
    }
    if (fd >= 0) unlink(draft.c_str());
    if (copied) return nullptr;
    return failure("the default settings cannot be written to the player's folder %s: %s", folder,
                   std::strerror(error));
}

// Anything under the name counts as the player's own, even what cannot be
// read: loading the settings names it, and it is never replaced.
bool hasOwnSettings(const std::string& folder) {
    struct stat status {};
    return lstat((folder + "/SETTINGS.TXT").c_str(), &status) == 0;
}

} // namespace

const char* enterPlayerFolder() {
    PlayerFolder.clear();
    // Asked before the installed folder is known, which would answer for it.
    FILE* settings = openDataFile("SETTINGS.TXT");
    const int error = errno;
    findInstalledData();
    if (settings != nullptr) {
        std::fclose(settings);
        return nullptr;
    }
    // A file that is there but cannot be used is named when the settings are read.
    if (error != ENOENT) return nullptr;
    if (InstalledDataFolder.empty()) return nullptr; // reported as a missing settings file
    const std::string folder = playerFolderPath();
    if (folder.empty()) return "no player's folder: neither XDG_DATA_HOME nor HOME is set";
    if (const char* cause = makeFolders(folder))
        return failure("the player's folder %s cannot be made: %s", folder, cause);
    if (!hasOwnSettings(folder))
        if (const char* problem = copyDefaultSettings(folder)) return problem;
    if (chdir(folder.c_str()) != 0)
        return failure("the player's folder %s cannot be entered: %s", folder,
                       std::strerror(errno));
    PlayerFolder = folder;
    return nullptr;
}
