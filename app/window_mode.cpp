// The full-screen switch and the rewrite of the settings file's window pair.
// WindowedMode is written here after the window has switched.
#include "app/window_mode.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/data_file.h"
#include "app/settings.h"
#include "game/status.h"
#include "platform/platform.h"

namespace {

std::string errorText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

// The file a path names, through any links, so that a linked settings file
// is rewritten where it lies instead of being replaced by a plain file.
std::string realFile(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    const std::string found = real;
    std::free(real);
    return found;
}

// Writes text into a new file beside path and renames it over path: the old
// file stays whole until the new one is complete on disk.
std::string replaceFile(const std::string& path, const std::string& text, unsigned mode) {
    std::string temporary = path.substr(0, path.rfind('/') + 1) + ".SETTINGS.TXT.XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) return errorText("cannot create a file beside it");
    bool written =
        ::fchmod(fd, mode) == 0 && writeAllBytes(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        errno = error;
        return errorText("cannot write it");
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string problem = errorText("cannot replace it");
        ::unlink(temporary.c_str());
        return problem;
    }
    return "";
}

} // namespace

std::string saveWindowPair(const std::string& path, int windowed) {
    const std::string file = realFile(path);
    if (!InstalledDataFolder.empty() && file.starts_with(InstalledDataFolder + "/"))
        return "it is the installed default, which the game never changes";
    std::string text;
    unsigned mode = 0;
    if (!readWholeFile(file.c_str(), &text, &mode)) return errorText("cannot read it");
    if (!withWindowPair(text, windowed)) return "its first six numbers are not all there";
    return replaceFile(file, text, mode);
}

void switchWindowMode() {
    const int windowed = WindowedMode == 1 ? 0 : 1;
    if (changeWindowMode(windowed == 1) != PLATFORM_OK) {
        std::fprintf(stderr, "korvath: the window could not switch to %s\n",
                     windowed == 1 ? "a window" : "full screen");
        return;
    }
    WindowedMode = windowed;
    const std::string problem = saveWindowPair(SettingsPath, windowed);
    if (problem.empty()) return;
    // The line on screen is short; standard error names the file as well.
    std::fprintf(stderr, "korvath: the next start cannot keep %s: %s: %s\n",
                 windowed == 1 ? "the window" : "full screen", SettingsPath.c_str(),
                 problem.c_str());
    showStatus(StatusText::WindowModeNotKept, problem.c_str());
}
