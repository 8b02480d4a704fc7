// The saved game's text, its safe replacement on the disk, and the controller's game saved
// and resumed through it. Owns autosaveEnabled and autosaveFailing.
#include "game/autosave.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "game/controller.h"
#include "game/status.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "rules/notation.h"
#include "scene/input.h"

bool autosaveEnabled = false;
bool autosaveFailing = false;

namespace {

const char* const SideLabels[SideCount] = {"WHITES", "BLACKS"};
const char* const LevelLabels[2] = {"BEGINNERS", "EXPERT"};

// Index of text in labels, or -1.
int labelIndex(const std::string* text, const char* const* labels, int count) {
    for (int i = 0; text != nullptr && i < count; ++i)
        if (*text == labels[i]) return i;
    return -1;
}

bool readCamera(const std::string* text, int* camera) {
    char end = 0;
    return text != nullptr &&
           std::sscanf(text->c_str(), "%d %d %d%c", &camera[0], &camera[1], &camera[2], &end) == 3;
}

// The tags beyond the record's own, and the count of moves, which tells a save cut short
// from a shorter game.
std::string checkTags(const PdnGame& pdn, SavedGame& game) {
    const std::string* plies = findTag(pdn, "PlyCount");
    if (plies == nullptr || *plies != std::to_string(pdn.moves.size()))
        return "its PlyCount tag does not match its " + std::to_string(pdn.moves.size()) + " moves";
    const std::string* result = findTag(pdn, "Result");
    if (pdn.result.empty() || result == nullptr || *result != pdn.result)
        return "its moves do not end with the Result tag's result";
    game.humanSide = labelIndex(findTag(pdn, "HumanSide"), SideLabels, SideCount);
    game.level = labelIndex(findTag(pdn, "Level"), LevelLabels, 2);
    if (game.humanSide == -1 || game.level == -1 ||
        !readCamera(findTag(pdn, "Camera"), game.camera))
        return "its HumanSide, Level or Camera tag is missing or wrong";
    return "";
}

// The folder's own entry names the renamed file only once the folder is on the disk too.
void syncFolderOf(const char* name) {
    std::string folder(name);
    const size_t slash = folder.rfind('/');
    folder = slash == std::string::npos ? "." : folder.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

RecordTags savedGameTags() {
    RecordTags tags = currentRecordTags();
    tags.extra = "[PlyCount \"" + std::to_string(playedMoves.size()) + "\"]\n";
    return tags;
}

void reportSaveFailure(int error) {
    if (autosaveFailing) return;
    autosaveFailing = true;
    std::fprintf(stderr, "korvath: the game could not be saved in %s: %s\n", SavedGameName,
                 std::strerror(error));
    showStatus(StatusText::GameNotKept, std::strerror(error));
}

// A save that does not come back is kept under another name, never deleted.
void setAside(const std::string& what) {
    char aside[64] = "?";
    if (moveFileAside(SavedGameName, SetAsidePattern, aside, sizeof aside) == 0) {
        std::fprintf(stderr, "korvath: %s cannot be resumed (%s); kept as %s, a new game starts\n",
                     SavedGameName, what.c_str(), aside);
        showStatus(StatusText::SavedGameMoved, aside);
    } else {
        // Saving over it would destroy it: this run leaves it alone and keeps nothing.
        const int error = errno;
        autosaveEnabled = false;
        std::fprintf(stderr,
                     "korvath: %s cannot be resumed (%s) nor moved aside (%s); it is left as it "
                     "is, and this game will not be saved\n",
                     SavedGameName, what.c_str(), std::strerror(error));
        showStatus(StatusText::GameNotKept, std::strerror(error));
    }
}

// A game from a set position names it, its side to move and its move count in a Start tag
// ("1 2 <position>"); the opening is the default.
std::string readStart(const std::string* text, SavedGame& game, const int32_t variant) {
    game.startPly = 0;
    game.start = {{}, variant, 0};
    if (text == nullptr) {
        selectRuleVariant(variant);
        setUpPosition(game.start.position);
        return "";
    }
    int length = 0;
    if (std::sscanf(text->c_str(), "%d %d %n", &game.start.side, &game.startPly, &length) != 2 ||
        game.start.side < 0 || game.start.side > 1 || game.startPly < 0 ||
        !parsePosition(text->substr(static_cast<size_t>(length)), game.start.position,
                       game.start.variant)
             .empty())
        return "its Start tag is not a side, a move count and a position";
    return "";
}

// Where the controller's game began: before its first move, or where it stands.
void setStartOfCurrentGame(SavedGame& game) {
    game.start = {gamePosition, ruleVariant, sideToMove};
    game.startPly = plyCount;
    if (!playedMoves.empty()) {
        game.start = {playedMoves[0].before, ruleVariant, playedMoves[0].side};
        game.startPly = playedMoves[0].plyCount;
    }
}

// The Start tag of a game that did not begin at the opening, else "".
std::string startTag(const SavedGame& game) {
    Position opening{};
    setUpPosition(opening);
    if (game.start.side == 0 && game.startPly == 0 &&
        formatPosition(opening, ruleVariant) == formatPosition(game.start.position, ruleVariant))
        return "";
    return "[SetUp \"1\"]\n[Start \"" + std::to_string(game.start.side) + " " +
           std::to_string(game.startPly) + " " + formatPosition(game.start.position, ruleVariant) +
           "\"]\n";
}

void restoreGame(const SavedGame& game) {
    humanSide = game.humanSide;
    level = game.level;
    CameraAzimuth = game.camera[0];
    CameraElevation = game.camera[1];
    CameraRoll = game.camera[2];
    playedMoves = game.moves;
    gamePosition = game.position;
    const int played = static_cast<int>(game.moves.size());
    plyCount = game.startPly + played;
    sideToMove = (game.start.side + played) % 2;
    selectedPiece = -1;
    targetSquareCount = 0;
    movePlaying = 0;
    gameStarted = 1;
    RedrawRequest = 1;
}

} // namespace

std::string formatSavedGame(const SavedGame& game, const RecordTags& tags) {
    RecordTags all = tags;
    all.extra += startTag(game) + std::string("[HumanSide \"") + SideLabels[game.humanSide] +
                 "\"]\n[Level \"" + LevelLabels[game.level] + "\"]\n[Camera \"" +
                 std::to_string(game.camera[0]) + " " + std::to_string(game.camera[1]) + " " +
                 std::to_string(game.camera[2]) + "\"]\n";
    return formatPdn(game.moves, all);
}

std::string parseSavedGame(std::string_view text, SavedGame& game) {
    const int32_t previous = ruleVariant;
    // The tags are read twice: first for the start, then with the moves replayed from it.
    PdnGame pdn;
    std::string what = readPdnGame(text.substr(0, text.find("\n\n")), pdn);
    const bool setUp = what.find("set-up") != std::string::npos;
    if (what.empty() || setUp) what = readStart(findTag(pdn, "Start"), game, pdn.variant);
    if (what.empty()) what = readPdnGame(text, pdn, &game.start);
    if (what.empty()) what = checkTags(pdn, game);
    if (!what.empty()) {
        selectRuleVariant(previous);
        return what;
    }
    game.variant = pdn.variant;
    game.result = pdn.result;
    game.moves.clear();
    Position position = game.start.position;
    for (size_t i = 0; i < pdn.moves.size(); ++i) {
        const int side = static_cast<int>((game.start.side + i) % 2);
        game.moves.push_back({position, side, game.startPly + static_cast<int>(i), pdn.moves[i]});
        const Position before = position;
        playMove(before, position, pdn.moves[i], side);
    }
    game.position = position;
    return "";
}

int replaceFileSafely(const char* name, const std::string& text) {
    std::string temp = std::string(name) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return -1;
    bool done = writeAllBytes(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && done) {
        done = false;
        error = errno;
    }
    if (done && ::rename(temp.c_str(), name) == 0) {
        syncFolderOf(name);
        return 0;
    }
    if (done) error = errno;
    ::unlink(temp.c_str());
    errno = error;
    return -1;
}

int moveFileAside(const char* name, const char* pattern, char* newName, size_t newNameSize) {
    for (int number = 0; number < INT_MAX; ++number) {
        std::snprintf(newName, newNameSize, pattern, number);
        if (::renameat2(AT_FDCWD, name, AT_FDCWD, newName, RENAME_NOREPLACE) == 0) return 0;
        // Some file systems lack the rename that never replaces; a hard link never does either.
        if (errno == EINVAL && ::link(name, newName) == 0) return ::unlink(name);
        if (errno != EEXIST) return -1;
    }
    errno = EEXIST;
    return -1;
}

std::string currentStartTags() {
    SavedGame game{};
    setStartOfCurrentGame(game);
    return startTag(game);
}

void saveCurrentGame() {
    if (!autosaveEnabled) return;
    SavedGame game{};
    game.variant = ruleVariant;
    game.humanSide = humanSide;
    game.level = level;
    game.camera[0] = CameraAzimuth;
    game.camera[1] = CameraElevation;
    game.camera[2] = CameraRoll;
    game.moves = playedMoves;
    game.position = gamePosition;
    setStartOfCurrentGame(game);
    if (replaceFileSafely(SavedGameName, formatSavedGame(game, savedGameTags())) == 0)
        autosaveFailing = false;
    else
        reportSaveFailure(errno);
}

bool resumeSavedGame() {
    if (!autosaveEnabled) return false;
    struct stat status {};
    if (::lstat(SavedGameName, &status) != 0 && errno == ENOENT) return false; // nothing saved
    std::string text;
    std::string what = readPdnFile(SavedGameName, text);
    SavedGame game{};
    if (what.empty()) what = parseSavedGame(text, game);
    if (!what.empty()) {
        setAside(what);
        return false;
    }
    humanSide = game.humanSide;
    level = game.level;
    if (game.result != "*") return false; // its settings stay, its game is over
    restoreGame(game);
    if (!game.moves.empty()) showStatus(StatusText::GameResumed);
    return true;
}
