// Reading "SETTINGS.TXT": label/number pairs whose meaning is given by their
// position alone. Owns the settings globals of app/settings.h.
#include "app/settings.h"

#include <unistd.h>

#include <cassert>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/data_file.h"
#include "platform/checked_file.h"
#include "render/screen.h"

int ShadowTextureSize = 0;
int TextureSize = 0;
int UseHardware = 0;
int MusicEnabled = 0;
int WindowedMode = 0;
std::string SettingsPath = "SETTINGS.TXT";
int AnimationEnabled = 1;

namespace {

// A settings file this long is not a settings file; the rest is ignored.
constexpr size_t MaxSettingsBytes = 1 << 16;
constexpr size_t LabelCapacity = 99; // characters kept of one label word

struct Reader {
    const char* text;
    size_t at;
};

void skipSpace(Reader& r) {
    while (r.text[r.at] != 0 && std::isspace(static_cast<unsigned char>(r.text[r.at]))) ++r.at;
}

// One label word of at most LabelCapacity characters; false at the end of the text.
// A longer word leaves its tail to be read as the next token.
bool readLabel(Reader& r) {
    skipSpace(r);
    if (r.text[r.at] == 0) return false;
    size_t taken = 0;
    while (r.text[r.at] != 0 && !std::isspace(static_cast<unsigned char>(r.text[r.at])) &&
           taken < LabelCapacity) {
        ++r.at;
        ++taken;
    }
    return true;
}

enum class NumberRead { Read, NotANumber, EndOfText };

// A decimal integer with an optional sign. A token that is not one is left
// where it is; a number beyond the int range saturates instead of wrapping.
NumberRead readNumber(Reader& r, int& out) {
    skipSpace(r);
    if (r.text[r.at] == 0) return NumberRead::EndOfText;
    size_t at = r.at;
    const bool negative = r.text[at] == '-';
    if (r.text[at] == '-' || r.text[at] == '+') ++at;
    if (!std::isdigit(static_cast<unsigned char>(r.text[at]))) return NumberRead::NotANumber;
    long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(r.text[at]))) {
        if (value <= INT_MAX) value = value * 10 + (r.text[at] - '0');
        ++at;
    }
    if (negative) value = -value;
    out = static_cast<int>(value < INT_MIN ? INT_MIN : (value > INT_MAX ? INT_MAX : value));
    r.at = at;
    return NumberRead::Read;
}

// The real path of an open file: the data file may have been found without
// regard to case, or in the installed folder.
std::string openedPath(FILE* file) {
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fileno(file));
    const ssize_t length = readlink(link, path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : "SETTINGS.TXT";
}

std::string currentFolderPath(const char* name) {
    char folder[4096];
    if (getcwd(folder, sizeof folder) == nullptr) return name;
    return std::string(folder) + "/" + name;
}

bool isBlank(const std::string& text) {
    for (const char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

// The last failure of loadSettings that names its cause; rewritten by each.
char failureText[300];

const char* cannotRead(const char* cause) {
    std::snprintf(failureText, sizeof failureText, "SETTINGS.TXT cannot be read: %s", cause);
    return failureText;
}

} // namespace

void parseSettings(const char* text, int values[SettingsPairs]) {
    Reader r{text, 0};
    bool shifted = false; // a value of the first six was not a number
    for (int pair = 0; pair < SettingsPairs; ++pair) {
        // The six pairs keep their shifting reads, but a shifted number must
        // never reach the optional flags: the music's 1 would open a window.
        if (pair >= WindowPair && shifted) return;
        if (!readLabel(r)) return;
        const NumberRead read = readNumber(r, values[pair]);
        if (read == NumberRead::EndOfText) return;
        shifted = shifted || read == NumberRead::NotANumber;
    }
}

const char* loadSettings() {
    FILE* file = openDataFile("SETTINGS.TXT");
    const int openError = errno;
    SettingsPath = file != nullptr ? openedPath(file) : currentFolderPath("SETTINGS.TXT");
    if (file == nullptr && openError == ENOENT) return "SETTINGS.TXT is missing";
    if (file == nullptr) return cannotRead(openFailureText(openError));
    std::string text;
    char chunk[4096];
    size_t got;
    while (text.size() < MaxSettingsBytes && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, got);
    const int error = std::ferror(file) != 0 ? errno : 0;
    std::fclose(file);
    if (error != 0) return cannotRead(std::strerror(error));
    if (text.size() > MaxSettingsBytes) text.resize(MaxSettingsBytes);
    // Nothing to read would only surface later as a screen width of 0.
    if (isBlank(text)) return "SETTINGS.TXT is empty";

    int values[SettingsPairs] = {ScreenWidth, ScreenHeight, ShadowTextureSize, TextureSize,
                                 UseHardware, MusicEnabled, WindowedMode,      AnimationEnabled};
    parseSettings(text.c_str(), values);
    ScreenWidth = values[0];
    ScreenHeight = values[1];
    ShadowTextureSize = values[2];
    TextureSize = values[3];
    UseHardware = values[4];
    MusicEnabled = values[5];
    WindowedMode = values[6];
    AnimationEnabled = values[7];
    return nullptr;
}

bool withWindowPair(std::string& text, int windowed) {
    assert(windowed == 0 || windowed == 1);
    Reader r{text.c_str(), 0};
    int ignored = 0;
    // The pair is only found by its place: a file whose first six numbers are
    // not all there has none that could be rewritten.
    for (int pair = 0; pair < WindowPair; ++pair)
        if (!readLabel(r) || readNumber(r, ignored) != NumberRead::Read) return false;
    const char* value = windowed == 1 ? "1" : "0";
    if (!readLabel(r)) {
        if (!text.empty() && text.back() != '\n') text.append("\n");
        text.append("WINDOWED ").append(value).append("\n");
        return true;
    }
    skipSpace(r);
    const size_t start = r.at;
    if (readNumber(r, ignored) == NumberRead::EndOfText) {
        text.append(" ").append(value);
        return true;
    }
    // Whatever stands in the number's place, a word too, is the old value.
    if (r.at == start) readLabel(r);
    text.erase(start, r.at - start);
    text.insert(start, 1, *value);
    return true;
}