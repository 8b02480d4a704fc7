// korvath-headless: the game itself on the headless backend, driven by a script
// file instead of a person. The script is read whole before the game starts;
// its commands are fed to the main loop through the pass hook, so every message
// goes through the same queue and window procedure as in the real game.
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "app/data_file.h"
#include "app/shell.h"
#include "game/controller.h"
#include "platform/checked_file.h"
#include "platform/platform.h"
#include "rules/notation.h"

namespace {

enum class CommandKind { Wait, Mouse, Down, Up, Key, Minimize, Restore, Lose, Snap, Print, Set };

struct Command {
    CommandKind kind;
    int first;         // wait: passes; mouse: x; down/up: 0 left, 1 right; key: VK code;
                       // set: the rule set
    int second;        // mouse: y
    std::string file;  // snap: the PNG to write
    Position position; // set: the pieces
    int line;          // where it stands in the script
};

struct KeyName {
    const char* name;
    uint32_t code;
};
constexpr KeyName KeyNames[] = {
    {"ESCAPE", VK_ESCAPE},  {"F12", VK_F12}, {"LEFT", VK_LEFT}, {"RIGHT", VK_RIGHT}, {"UP", VK_UP},
    {"DOWN", VK_DOWN},      {"F1", VK_F1},   {"F2", VK_F2},     {"F3", VK_F3},       {"F4", VK_F4},
    {"BACKSPACE", VK_BACK}, {"H", VK_H},     {"F11", VK_F11}};

// The script being played; written once by main before the game starts.
struct ScriptState {
    std::vector<Command> commands; // the whole script, comments left out
    size_t next = 0;               // first command not yet done
    int waitLeft = -1;             // passes the current wait still holds, -1 before it starts
    int cursorX = 0;               // where the script last put the mouse
    int cursorY = 0;
    bool closeSent = false; // the end of the script has asked the game to close
    bool failed = false;    // a command could not be carried out: the run ends with code 2
};
ScriptState script;

std::string upperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool readInt(std::istringstream& in, int lowest, int highest, int* out) {
    long value = 0;
    std::string token;
    if (!(in >> token)) return false;
    char* end = nullptr;
    value = std::strtol(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0' || value < lowest || value > highest) return false;
    *out = static_cast<int>(value);
    return true;
}

bool readButton(std::istringstream& in, int* out) {
    std::string name;
    if (!(in >> name)) return false;
    name = upperCase(name);
    if (name == "LEFT")
        *out = 0;
    else if (name == "RIGHT")
        *out = 1;
    else
        return false;
    return true;
}

// "ESCAPE, F12, ...": the names the key command takes, for its error message.
std::string keyNameList() {
    std::string list;
    for (const KeyName& key : KeyNames) list += std::string(list.empty() ? "" : ", ") + key.name;
    return list;
}

bool readKey(std::istringstream& in, int* out) {
    std::string name;
    if (!(in >> name)) return false;
    name = upperCase(name);
    for (const KeyName& key : KeyNames) {
        if (name == key.name) {
            *out = static_cast<int>(key.code);
            return true;
        }
    }
    return false;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Parses one line into command; returns what is wrong, or "" when it is fine.
std::string parseLine(const std::string& text, Command* command) {
    std::istringstream in(text);
    std::string word;
    in >> word;
    bool ok = true;
    if (word == "wait") {
        command->kind = CommandKind::Wait;
        ok = readInt(in, 0, 1000000000, &command->first);
        if (!ok) return "wait needs a number of passes (0 or more)";
    } else if (word == "mouse") {
        command->kind = CommandKind::Mouse;
        ok = readInt(in, -32768, 32767, &command->first) &&
             readInt(in, -32768, 32767, &command->second);
        if (!ok) return "mouse needs two pixel coordinates";
    } else if (word == "down" || word == "up") {
        command->kind = word == "down" ? CommandKind::Down : CommandKind::Up;
        if (!readButton(in, &command->first)) return word + " needs left or right";
    } else if (word == "key") {
        command->kind = CommandKind::Key;
        if (!readKey(in, &command->first)) return "key needs one of " + keyNameList();
    } else if (word == "minimize") {
        command->kind = CommandKind::Minimize;
    } else if (word == "restore") {
        command->kind = CommandKind::Restore;
    } else if (word == "lose") {
        command->kind = CommandKind::Lose;
    } else if (word == "print") {
        command->kind = CommandKind::Print;
    } else if (word == "set") {
        command->kind = CommandKind::Set;
        std::string rest;
        std::getline(in, rest);
        int32_t variant = 0;
        const std::string problem = parsePosition(trimmed(rest), command->position, variant);
        if (!problem.empty()) return "set: " + problem;
        command->first = variant;
        return "";
    } else if (word == "snap") {
        command->kind = CommandKind::Snap;
        if (!(in >> command->file)) return "snap needs a file name";
    } else {
        return "unknown command '" + word + "'";
    }
    std::string extra;
    if (in >> extra) return "unexpected '" + extra + "' after " + word;
    return "";
}

// A '#' that starts a word starts a comment, on a line of its own or after a
// command ("wait 30  # the computer answers").
std::string withoutComment(const std::string& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(text[i - 1]))))
            return text.substr(0, i);
    }
    return text;
}

bool isBlank(const std::string& text) {
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) return false;
    return true;
}

// Reads the whole script; false (after saying why on standard error) when it
// cannot be read or a line is not a command.
bool loadScript(const char* fileName) {
    std::string whole;
    if (!readWholeFile(fileName, &whole)) {
        std::fprintf(stderr, "korvath-headless: cannot read script %s: %s\n", fileName,
                     openFailureText(errno));
        return false;
    }
    std::istringstream file(whole);
    std::string text;
    for (int line = 1; std::getline(file, text); ++line) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        text = withoutComment(text);
        if (isBlank(text)) continue;
        Command command{};
        command.line = line;
        const std::string problem = parseLine(text, &command);
        if (!problem.empty()) {
            std::fprintf(stderr, "korvath-headless: %s:%d: %s\n", fileName, line, problem.c_str());
            return false;
        }
        script.commands.push_back(command);
    }
    return true;
}

int64_t cursorParam() {
    return static_cast<int64_t>((script.cursorX & 0xFFFF) | ((script.cursorY & 0xFFFF) << 16));
}

void injectButton(const Command& command) {
    const bool down = command.kind == CommandKind::Down;
    const uint32_t message = command.first == 0 ? (down ? WM_LBUTTONDOWN : WM_LBUTTONUP)
                                                : (down ? WM_RBUTTONDOWN : WM_RBUTTONUP);
    injectMessage(Message{message, 0, cursorParam()});
}

// A command whose output did not get written ends the run: the rest of the
// script would be checked against output that is not there.
void failCommand(const Command& command, const char* what, const char* reason) {
    std::fprintf(stderr, "korvath-headless: line %d: could not write %s: %s\n", command.line, what,
                 reason);
    script.failed = true;
    script.next = script.commands.size();
}

void printState(const Command& command) {
    std::printf("frame %lld stage %d/%d rules %d human %d level %d tomove %d ply %d selected %d "
                "position %s result %s moving %d\n",
                LoopPasses, AppStage, ExitStage, static_cast<int>(ruleVariant), humanSide, level,
                sideToMove, plyCount, selectedPiece,
                formatPosition(gamePosition, ruleVariant).c_str(), resultName(gameOutcome.result),
                movePlaying != 0 ? 1 : 0);
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        failCommand(command, "the state", std::strerror(errno));
}

void snapFrame(const Command& command) {
    int width = 0;
    int height = 0;
    const uint16_t* pixels = lastPresentedFrame(&width, &height);
    const PixelFormat format =
        displayGreenMask() == 0x07E0 ? PixelFormat::Rgb565 : PixelFormat::Rgb555;
    if (pixels == nullptr)
        failCommand(command, command.file.c_str(), "no frame has been shown yet");
    else if (savePng(command.file.c_str(), pixels, width, height, width * 2, format) != 0)
        failCommand(command, command.file.c_str(), openFailureText(errno));
}

// Messages are injected one at a time and the loop handles each in the pass
// that follows; the other commands act at once.
bool runCommand(const Command& command) {
    switch (command.kind) {
    case CommandKind::Mouse:
        script.cursorX = command.first;
        script.cursorY = command.second;
        setHeadlessCursor(script.cursorX, script.cursorY);
        injectMessage(Message{WM_MOUSEMOVE, 0, cursorParam()});
        return true;
    case CommandKind::Down:
    case CommandKind::Up:
        injectButton(command);
        return true;
    case CommandKind::Key:
        injectMessage(Message{WM_KEYDOWN, static_cast<uint64_t>(command.first), 0});
        return true;
    case CommandKind::Minimize:
        injectMessage(Message{WM_ACTIVATE, WA_INACTIVE | (1u << 16), 0});
        return true;
    case CommandKind::Restore:
        injectMessage(Message{WM_ACTIVATE, WA_ACTIVE, 0});
        return true;
    case CommandKind::Lose:
        injectSurfaceLoss();
        return false;
    case CommandKind::Snap:
        snapFrame(command);
        return false;
    case CommandKind::Print:
        printState(command);
        return false;
    case CommandKind::Set:
        startGameFrom(command.position, command.first);
        return false;
    case CommandKind::Wait:
        return false;
    }
    return false;
}

// The pass hook: does nothing while a message waits, so that every command
// sees the effect of the messages before it.
void feedScript() {
    if (peekMessage()) return;
    while (script.next < script.commands.size()) {
        const Command& command = script.commands[script.next];
        if (command.kind == CommandKind::Wait) {
            if (script.waitLeft < 0) script.waitLeft = command.first;
            if (script.waitLeft > 0) {
                --script.waitLeft;
                return;
            }
            script.waitLeft = -1;
            ++script.next;
            continue;
        }
        ++script.next;
        if (runCommand(command)) return;
    }
    // A script that ends with the game still running closes it as Escape would.
    if (!script.closeSent) {
        script.closeSent = true;
        injectMessage(Message{WM_KEYDOWN, VK_ESCAPE, 0});
    }
}

// Snapshot names stay relative to the folder the runner was started in, even
// when an installed game moves into the player's folder.
void anchorSnapFiles() {
    char* here = getcwd(nullptr, 0);
    if (here == nullptr) return;
    for (Command& command : script.commands)
        if (command.kind == CommandKind::Snap && command.file[0] != '/')
            command.file = std::string(here) + "/" + command.file;
    std::free(here);
}

} // namespace

int main(int argc, char** argv) {
    // --plain-loops draws every frame without the eight-pixel passes and copies
    // and presents whole frames, so that the reference pictures can be checked
    // on both raster paths and without the record of written areas.
    const bool plainLoops = argc == 3 && std::strcmp(argv[1], "--plain-loops") == 0;
    if (argc != 2 && !plainLoops) {
        std::fprintf(stderr, "usage: korvath-headless [--plain-loops] SCRIPT\n"
                             "Runs the game without a window, driven by the script's commands.\n");
        return 2;
    }
    // A file-size limit makes a long write fail like a full disk instead of
    // killing the run without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    if (!loadScript(argv[argc - 1])) return 2;
    allowWideLanes(!plainLoops);
    allowWrittenAreas(!plainLoops);
    anchorSnapFiles();
    selectBackend(Backend::Headless);
    const int code = runKorvath(feedScript);
    if (script.failed) return 2;
    if (script.next < script.commands.size())
        std::fprintf(stderr, "korvath-headless: the game ended before line %d of the script\n",
                     script.commands[script.next].line);
    return code;
}
