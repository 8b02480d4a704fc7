// Case-insensitive fallback for the game's data file names.
#include "app/data_file.h"

#include <dirent.h>
#include <strings.h>

#include <string>

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

} // namespace

FILE* openDataFile(const char* name, const char* mode) {
    if (FILE* f = std::fopen(name, mode)) return f;
    std::string path(name);
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
            if (entry.empty()) return nullptr;
            if (!resolved.empty() && resolved.back() != '/') resolved += '/';
            resolved += entry;
        }
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return std::fopen(resolved.c_str(), mode);
}
