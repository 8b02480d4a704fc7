// Setting up the player's folder of an installed game (see player_folder.h).
// The failure text is kept in a buffer local to this file, rewritten by each
// failing call.
#include "app/player_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/data_file.h"

namespace {

// The last failure of enterPlayerFolder, for the error box; rewritten by each.
char failureText[600];

const char* failure(const char* what, const std::string& path, int error) {
    std::snprintf(failureText, sizeof failureText, "%s %s: %s", what, path.c_str(),
                  std::strerror(error));
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
bool makeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

// Copies the installed default settings to target, never over a file the
// player already has there; a half-written copy is removed.
const char* copyDefaultSettings(const std::string& target) {
    FILE* in = openDataFile("SETTINGS.TXT", "r");
    if (in == nullptr) return failure("cannot read", InstalledDataFolder + "/SETTINGS.TXT", errno);
    FILE* out = std::fopen(target.c_str(), "wx");
    if (out == nullptr) {
        const int error = errno;
        std::fclose(in);
        return error == EEXIST ? nullptr : failure("cannot create", target, error);
    }
    char chunk[4096];
    bool copied = true;
    for (size_t got; copied && (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;)
        copied = std::fwrite(chunk, 1, got, out) == got;
    copied = copied && !std::ferror(in);
    int error = errno;
    std::fclose(in);
    if (std::fclose(out) != 0 && copied) {
        copied = false;
        error = errno;
    }
    if (copied) return nullptr;
    std::remove(target.c_str());
    return failure("cannot write", target, error);
}

} // namespace

const char* enterPlayerFolder() {
    // Asked before the installed folder is known, which would answer for it.
    FILE* settings = openDataFile("SETTINGS.TXT", "r");
    findInstalledData();
    if (settings != nullptr) {
        std::fclose(settings);
        return nullptr;
    }
    if (InstalledDataFolder.empty()) return nullptr; // reported as a missing settings file
    const std::string folder = playerFolderPath();
    if (folder.empty()) return "no folder for the settings: neither XDG_DATA_HOME nor HOME is set";
    if (!makeFolders(folder)) return failure("cannot create", folder, errno);
    if (const char* problem = copyDefaultSettings(folder + "/SETTINGS.TXT")) return problem;
    if (chdir(folder.c_str()) != 0) return failure("cannot enter", folder, errno);
    return nullptr;
}
