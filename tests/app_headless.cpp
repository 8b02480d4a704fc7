// korvath-headless end to end: the real program on the headless backend, driven
// by scripts in scratch game folders. The menu by its rectangles, screenshots, the
// closing fade, Escape in every stage, a lost display, minimising, start failures
// and the script language's own errors; then whole games against the computer,
// played with clicks at the squares' projected positions and checked frame by
// frame, take backs in every rule set, and the game's record replayed through
// korvath-engine.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "rules/fast_search.h"
#include "rules/moves.h"
#include "rules/notation.h"
#include "rules/search.h"
#include "scene/scene.h"
#include "tests/headless_screen.h"
#include "tests/rules_test_util.h"

namespace {

namespace fs = std::filesystem;

// One `print` line of the runner; `state` is all of it but the pass and the stages.
struct PrintLine {
    int frame = 0, appStage = 0, exitStage = 0, human = 0, level = 0, toMove = 0, ply = 0,
        selected = 0, moving = 0;
    std::string state, position, result;
};

PrintLine parsePrintLine(const std::string& line) {
    PrintLine p;
    int at = 0;
    std::sscanf(line.c_str(),
                "frame %d stage %d/%d rules %*d human %d level %d tomove %d ply %d selected %d "
                "position %n",
                &p.frame, &p.appStage, &p.exitStage, &p.human, &p.level, &p.toMove, &p.ply,
                &p.selected, &at);
    const size_t resultAt = line.find(" result ");
    p.state = line.substr(line.find(" rules ") + 1, resultAt - line.find(" rules ") - 1);
    p.position = line.substr(at, resultAt - at);
    char result[16] = "";
    std::sscanf(line.c_str() + resultAt, " result %15s moving %d", result, &p.moving);
    p.result = result;
    return p;
}

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    std::vector<PrintLine> prints;
};

// One field of every print line, in order.
std::vector<int> each(const RunResult& run, int PrintLine::*field) {
    std::vector<int> values;
    for (const PrintLine& p : run.prints) values.push_back(p.*field);
    return values;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A folder the game runs in: the test's settings, the build's pictures.
struct GameFolder {
    GameFolder() {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-'); // a parameterised test's name
        dir = fs::temp_directory_path() /
              ("korvath-headless-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::create_directory_symlink(fs::path(KORVATH_DATA_DIR) / "DATAS", dir / "DATAS");
        std::ofstream(dir / "SETTINGS.TXT")
            << "WIDTH 640\nHEIGHT 480\nSHADOW 64\nTEXTURES 128\nHARDWARE 1\nMUSIC 0\n"
            << "WINDOWED 0\nANIMATION 0\n"; // a step a frame, as the frame-by-frame checks need
    }
    ~GameFolder() { fs::remove_all(dir); }

    // shellPrefix runs before the program in the same shell ("ulimit -f 40; ").
    RunResult run(const std::string& script, const std::string& shellPrefix = "",
                  const std::string& scriptName = "script.txt") const {
        if (scriptName == "script.txt") std::ofstream(dir / "script.txt") << script;
        const std::string command = "cd '" + dir.string() + "' && " + shellPrefix + "'" + program +
                                    "' '" + scriptName + "' > out.txt 2> err.txt";
        const int status = std::system(command.c_str());
        RunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readText(dir / "out.txt");
        result.err = readText(dir / "err.txt");
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("frame ", 0) == 0) result.prints.push_back(parsePrintLine(line));
        return result;
    }

    // DATAS as a folder of links to the build's pictures and music, but name.
    void linkDataExcept(const std::string& name) const {
        fs::remove(dir / "DATAS");
        fs::create_directory(dir / "DATAS");
        for (const auto& entry : fs::directory_iterator(fs::path(KORVATH_DATA_DIR) / "DATAS"))
            if (entry.path().filename() != name)
                fs::create_symlink(entry.path(), dir / "DATAS" / entry.path().filename());
    }

    fs::path dir;
    std::string program = KORVATH_BIN_DIR "/korvath-headless";
};

// Passes from start-up to the first game frame: the activation message, the
// intro set-up, 31 + 61 intro frames, and the first main-phase pass.
constexpr int PassesToFirstGameFrame = 1 + 1 + 31 + 61 + 1;

// The script line that runs to the first game frame (the activation message takes a pass).
const std::string ToFirstGameFrame = "wait " + std::to_string(PassesToFirstGameFrame - 1) + "\n";

Position startOf(int variant) {
    selectRuleVariant(variant);
    Position position{};
    setUpPosition(position);
    return position;
}

// What a print line says of a new game of the rule set.
std::string newGame(int variant) {
    return "rules " + std::to_string(variant) +
           " human 0 level 0 tomove 0 ply 0 selected -1 position " +
           formatPosition(startOf(variant), variant);
}

struct ScreenPoint {
    int x, y;
};

// Where the centre of a square lands with the camera a new game sets up for
// side 0 (elevation -50, azimuth 0, no roll).
ScreenPoint squareOnScreen(int column, int row, int columns) {
    ScreenWidth = 640; // as every folder's SETTINGS.TXT says
    ScreenHeight = 480;
    FocalLength = focalLengthFor(640);
    buildSineTable();
    setCameraConstants();
    CameraAzimuth = 0;
    CameraElevation = -50;
    CameraRoll = 0;
    orbitCamera();
    updateCamera();
    const Vec3 centre = squareCentre(column, row, columns);
    const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
    return {static_cast<int>(p.screenX + 0.5f), static_cast<int>(p.screenY + 0.5f)};
}

std::string press(ScreenPoint p) {
    return "mouse " + std::to_string(p.x) + " " + std::to_string(p.y) + "\ndown left\n";
}

// A left click: the press is seen by one frame, the release by the next.
std::string clickAt(ScreenPoint p) {
    return press(p) + "wait 1\nup left\nwait 1\n";
}

MoveList Moves; // scratch for the planners

// Side 0's last listed move: the one a click on its final square plays.
Move lastMove(const Position& position) {
    generateMoves(position, 0, Moves);
    return Moves.moves[Moves.count - 1];
}

// Where a move of side 0 starts and ends on the screen.
std::pair<ScreenPoint, ScreenPoint> movePoints(const Position& position, const Move& move,
                                               int columns) {
    const Piece& piece = pieceOf(position, 0, move.piece);
    const Square last = move.path[move.steps - 1];
    return {squareOnScreen(piece.column, piece.row, columns),
            squareOnScreen(last.column, last.row, columns)};
}

// The move clicked, then time for the computer's answer.
std::string moveClicks(const Position& position, const Move& move, int columns = 8) {
    const auto [from, to] = movePoints(position, move, columns);
    return clickAt(from) + clickAt(to) + "wait 30\n";
}

// The menu's buttons.
const ScreenPoint BeginInside{50, 42}, BeginBottomEdge{50, 55}, SideButton{50, 70},
    LevelButton{50, 100}, RulesButton{50, 130}, ExitButton{50, 160};

// `set` starts a game from a position under its rule set, the human to move at ply 2;
// taking the last piece wins, and a human without a move has lost at once. F4 pressed
// during the intro writes no record when the board appears; a set game's record says
// where it began.
TEST(Headless, SetPositionsEndWithTheWinnerUnderEveryRuleSet) {
    GameFolder folder;
    std::string script = "wait 10\nkey F4\n" + ToFirstGameFrame;
    std::vector<std::string> expected;
    std::string recorded; // the set position whose game F4 records
    for (int variant = 0; variant < RuleVariantCount; ++variant) {
        const int columns = ruleVariants[variant].columns;
        Position after = positionOf(variant, "2.2", "1.1");
        const std::string lastMan = formatPosition(after, variant);
        const std::string blocked = formatPosition(
            positionOf(variant, columns == 8 ? "7.7" : "9.9", columns == 8 ? "6.6,5.5" : "8.8,7.7"),
            variant);
        script += "set " + lastMan + "\nwait 1\nprint\n";
        script += clickAt(squareOnScreen(2, 2, columns)) + clickAt(squareOnScreen(0, 0, columns));
        script += "wait 2\nprint\nset " + blocked + "\nwait 1\nprint\n";
        if (variant == 0) {
            script += "key F4\nwait 1\n";
            recorded = blocked;
        }
        applyStep(after, 0, Square{0, 0}, 0);
        expected.push_back("0 2 ongoing 0 " + lastMan);
        expected.push_back("1 3 whites 0 " + formatPosition(after, variant));
        expected.push_back("0 2 blacks 0 " + blocked);
    }
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> printed;
    for (const PrintLine& p : run.prints)
        printed.push_back(std::to_string(p.toMove) + " " + std::to_string(p.ply) + " " + p.result +
                          " " + std::to_string(p.moving) + " " + p.position);
    EXPECT_EQ(printed, expected);
    EXPECT_FALSE(fs::exists(folder.dir / "game1.pdn"));
    EXPECT_NE(readText(folder.dir / "game0.pdn")
                  .find("[SetUp \"1\"]\n[Start \"0 2 " + recorded + "\"]\n"),
              std::string::npos);
}

// BEGIN counts only strictly inside its rectangle, and a piece re-selected begins no new
// game; LEVEL switches back and forth, each time a new game. (RULES and SIDE are clicked
// through by the take backs and the reference frames.)
TEST(Headless, MenuButtonsBeginAnewAndSwitchTheLevel) {
    GameFolder folder;
    std::string script = ToFirstGameFrame;
    script +=
        moveClicks(startOf(0), lastMove(startOf(0))) + "print\n"; // 0: the computer has answered
    script += clickAt(BeginBottomEdge) + "print\n";               // 1: only selects a piece
    script += clickAt(BeginBottomEdge) + "print\n";               // 2: re-selects, no new game
    script += clickAt(BeginInside) + "print\n";                   // 3: begins anew
    script += clickAt(LevelButton) + "print\n";                   // 4: EXPERT
    script += clickAt(LevelButton) + "print\n";                   // 5: BEGINNERS again
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 6u) << run.out;
    const std::vector<PrintLine>& p = run.prints;
    EXPECT_EQ(p[0].ply, 2);
    EXPECT_NE(p[1].selected, -1);
    EXPECT_EQ(p[2].position, p[0].position);
    EXPECT_EQ(std::vector<std::string>({p[3].state, p[5].state}),
              std::vector<std::string>({newGame(0), newGame(0)}));
    EXPECT_EQ(std::vector<int>({p[4].level, p[4].ply, p[4].selected}),
              std::vector<int>({1, 0, -1}));
}

TEST(Headless, ExitFadesOutOverTwelveFramesThenEndsWithCodeZero) {
    GameFolder folder;
    std::string script = ToFirstGameFrame;
    script += press(ExitButton) + "wait 1\nprint\n";          // 0: EXIT picked
    script += "wait 1\nprint\n";                              // 1: the picture is captured
    for (int i = 0; i < 12; ++i) script += "wait 1\nprint\n"; // 2..13
    script += "wait 100\nprint\n";                            // never reached: the window is closed
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(each(run, &PrintLine::exitStage),
              std::vector<int>({1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3}));
    EXPECT_NE(run.err.find("ended before"), std::string::npos);
}

TEST(Headless, EscapeEndsAtOnceInEveryStage) {
    GameFolder folder;
    const std::string before[] = {
        "",                                                          // before the first stage step
        "wait 10\n",                                                 // first intro
        "wait 50\n",                                                 // second intro
        "wait " + std::to_string(PassesToFirstGameFrame + 4) + "\n", // game
        ToFirstGameFrame + press(ExitButton) + "wait 3\n",           // closing fade
        "wait 50\nminimize\nwait 5\n",                               // minimised
    };
    for (const std::string& prefix : before) {
        const RunResult run = folder.run(prefix + "key ESCAPE\nwait 2000\nprint\n");
        EXPECT_EQ(run.exitCode, 0) << prefix << run.err;
        EXPECT_TRUE(run.prints.empty()) << prefix << run.out;
    }
}

// A lost display is repaired in every stage and play goes on; screenshots show the board
// on black, one a frame. (The numbers that pass over earlier files: game_screenshot.)
TEST(Headless, ALostDisplayIsRepairedAndScreenshotsShowTheBoardOnBlack) {
    GameFolder folder;
    std::string script = "wait 20\nlose\nwait 2\nprint\n"; // 0: during the first intro
    script += ToFirstGameFrame;
    script += "lose\nwait 2\nprint\n"; // 1: in the game
    script += "key F3\nkey F3\nwait 1\nkey F3\nwait 1\nkey F3\nwait 1\nkey F3\nwait 1\n";
    script += moveClicks(startOf(0), lastMove(startOf(0))) + "print\n"; // 2: play goes on
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(each(run, &PrintLine::appStage), std::vector<int>({1, 3, 3}));
    EXPECT_EQ(each(run, &PrintLine::ply), std::vector<int>({0, 0, 2}));
    for (const char* name : {"page0.raw", "page1.raw", "page2.raw", "page3.raw"})
        EXPECT_EQ(fs::file_size(folder.dir / name), 640u * 480u * 3u) << name;
    EXPECT_FALSE(fs::exists(folder.dir / "page4.raw")); // two F3 before one frame: one picture
    // What the pictures show is compared with the reference frames.
}

TEST(Headless, MinimisingFreezesEveryStage) {
    GameFolder folder;
    std::string script = "wait 40\nprint\nminimize\nwait 300\nprint\nrestore\nwait 1\nprint\n";
    script += ToFirstGameFrame + "print\n";
    // A press made while minimised is seen only once the window is back.
    const Position start = startOf(0);
    const auto [from, to] = movePoints(start, lastMove(start), 8);
    script += clickAt(from) + press(to) + "minimize\n";
    script += "wait 300\nprint\nrestore\nwait 30\nprint\n";
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // 300 passes later, still the second intro; the move waits for the window. The
    // activation message takes the first pass.
    EXPECT_EQ(run.prints.at(0).frame, 41);
    EXPECT_EQ(each(run, &PrintLine::appStage), std::vector<int>({2, 2, 2, 3, 3, 3}));
    EXPECT_EQ(each(run, &PrintLine::ply), std::vector<int>({0, 0, 0, 0, 0, 2}));
}

// Bad lines are named; over a file-size limit F3 fails with a message and the game goes on;
// a snap that is not written whole, a script that cannot be read, or a state line that
// cannot be printed ends the run with code 2.
TEST(Headless, BadScriptsAndFailedWritesEndWithCodeTwo) {
    GameFolder folder;
    fs::create_directory(folder.dir / "folder");
    struct Case {
        std::string script, message, shellPrefix = "", scriptName = "script.txt";
        size_t prints = 0;
    };
    const Case cases[] = {
        {"wait 1\nprint\njump 3\n", "script.txt:3:"},
        {"# comment\nwait x\n", "script.txt:2:"},
        {"mouse 10\n", "script.txt:1:"},
        {"key F5\n", "script.txt:1:"},
        {"down middle\n", "script.txt:1:"},
        {"snap\n", "script.txt:1:"},
        {"print now\n", "script.txt:1:"},
        {"set 0 1.1 2.2\n", "script.txt:1: set: "},
        {"wait -1\n", "script.txt:1:"},
        {ToFirstGameFrame + "key F3\nwait 1\nprint\n" + "snap big.png\nprint\n",
         "big.png: File too large", "ulimit -f 40; ", "script.txt", 1},
        {"wait 5\nsnap /dev/full\nprint\n", "could not write /dev/full"},
        {"", "cannot read script folder: Is a directory", "", "folder"},
    };
    for (const Case& c : cases) {
        const RunResult run = folder.run(c.script, c.shellPrefix, c.scriptName);
        EXPECT_EQ(run.exitCode, 2) << c.script << run.err;
        EXPECT_EQ(run.prints.size(), c.prints) << c.script << run.out;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << c.script << run.err;
    }
    EXPECT_FALSE(fs::exists(folder.dir / "big.png"));
    EXPECT_FALSE(fs::exists(folder.dir / "page0.raw"));
    const std::string command = "cd '" + folder.dir.string() +
                                "' && '" KORVATH_BIN_DIR
                                "/korvath-headless' script.txt > /dev/full 2> /dev/null";
    std::ofstream(folder.dir / "script.txt") << "print\n";
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
    // So does a call without a script.
    const int status = std::system("'" KORVATH_BIN_DIR "/korvath-headless' > /dev/null 2>&1");
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// Beside the box, one plain line on standard error says what is wrong and how to mend it:
// the settings pair and its allowed values, where to start from, or the missing data file.
TEST(Headless, StartFailuresAreExplainedOnStandardErrorAsInTheBox) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "korvath: ERROR:SETTINGS.TXT is missing\nThe game reads its settings from /"},
        {"WIDTH 700\nHEIGHT 600\nS 64\nT 128\nHARDWARE 1\nMUSIC 0\n",
         "korvath: ERROR:DDrawInterface->SetDisplayMode\nWIDTH 700 and HEIGHT 600 are no size"},
        {"WIDTH 640\nHEIGHT 480\nS 64\nT 128\nHARDWARE 2\nMUSIC 0\n",
         "/SETTINGS.TXT (its fifth number) is 2.\nSet it to 0 or 1.\n"},
        {"FOND.RAW", "FOND.RAW"}, // a picture and an intro file left out of DATAS
        {"CHECKERS.RAW", "CHECKERS.RAW"},
    };
    for (const auto& [settings, line] : cases) {
        GameFolder folder;
        if (settings.ends_with(".RAW")) {
            folder.linkDataExcept(settings);
        } else if (settings.empty()) {
            fs::remove(folder.dir / "SETTINGS.TXT");
        } else {
            std::ofstream(folder.dir / "SETTINGS.TXT") << settings;
        }
        const RunResult run = folder.run("wait 200\nprint\n");
        EXPECT_EQ(run.exitCode, 1) << line;
        EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("FAILED: ERROR:"), std::string::npos) << run.err; // the box
        EXPECT_TRUE(run.prints.empty()) << line;
    }
}

// F11 switches the window and keeps the choice in the settings file, every
// other byte kept. A file that cannot be replaced whole (too large for the
// disk's room, here a size limit) stays as it was, no temporary file is left,
// the player is told, and the game goes on.
TEST(Headless, TheFullScreenSwitchIsKeptInTheSettingsFile) {
    GameFolder folder;
    const fs::path settings = folder.dir / "SETTINGS.TXT";
    // Blank space is no pair, and makes the file too large for the limit below.
    const std::string pairs = readText(settings);
    const std::string six =
        pairs.substr(0, pairs.find("WINDOWED")) + std::string(60000, ' ') + "\n";
    std::ofstream(settings) << six;
    EXPECT_EQ(folder.run("key F11\nwait 2\n").exitCode, 0);
    EXPECT_TRUE(readText(settings) == six + "WINDOWED 1\n");
    folder.run("key F11\nwait 2\nkey F11\nwait 2\nkey F11\nwait 2\n");
    EXPECT_TRUE(readText(settings) == six + "WINDOWED 0\n");
    const RunResult run = folder.run("key F11\nwait 2\nprint\n", "ulimit -f 40; ");
    EXPECT_TRUE(readText(settings) == six + "WINDOWED 0\n");
    EXPECT_EQ(std::pair(run.exitCode, run.prints.size()), std::pair(0, size_t{1}));
    EXPECT_NE(run.err.find("korvath: the next start cannot keep the window: " +
                           fs::canonical(settings).string() + ": cannot write it: File too large"),
              std::string::npos)
        << run.err;
    for (const auto& entry : fs::directory_iterator(folder.dir))
        EXPECT_FALSE(entry.path().filename().string().starts_with(".SETTINGS")) << entry.path();
}

// With MUSIC 1 the runner still opens no sound device: a sound server that
// only listens, named where every audio library looks, is never called on,
// and no music box is shown.
TEST(Headless, TheRunnerNeverOpensASoundDevice) {
    GameFolder folder;
    std::ofstream(folder.dir / "SETTINGS.TXT")
        << "WIDTH 640\nHEIGHT 480\nSHADOW 64\nTEXTURES 128\nHARDWARE 1\nMUSIC 1\n";
    const std::string path = (folder.dir / "sound").string();
    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof address.sun_path);
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(server, 4), 0);
    const RunResult run = folder.run(ToFirstGameFrame + "wait 20\n",
                                     "PULSE_SERVER=unix:" + path + " PIPEWIRE_REMOTE=" + path +
                                         " SDL_AUDIODRIVER=pulseaudio ");
    EXPECT_EQ(std::pair(run.exitCode, run.err), std::pair(0, std::string()));
    EXPECT_LT(accept(server, nullptr, nullptr), 0) << "a sound client connected";
    close(server);
}

// ---- Files that are not files, and the player's folder ---------------------------

// The game installed under prefix/ and started from the folder itself, which has
// no SETTINGS.TXT: its player's folder is data/korvath. Each run is cut off after
// 10 s (code 124), so that a hang cannot hold the whole test run.
struct InstalledGame : GameFolder {
    InstalledGame() {
        fs::create_directories(share);
        fs::create_directories(dir / "prefix/bin");
        fs::rename(dir / "SETTINGS.TXT", share / "SETTINGS.TXT");
        fs::rename(dir / "DATAS", share / "DATAS");
        program = (dir / "prefix/bin/korvath-headless").string();
        fs::copy_file(KORVATH_BIN_DIR "/korvath-headless", program);
    }
    const fs::path share = dir / "prefix/share/korvath", player = dir / "data/korvath";
    const std::string environment = "env HOME='" + (dir / "home").string() + "' XDG_DATA_HOME='" +
                                    (dir / "data").string() + "' ";
    const std::string start = "timeout 10 " + environment;
};

// Whatever cannot be used is refused at once and named with its folder and the
// cause: a named pipe in the place of the settings (start folder or player's), a
// picture, a script or a snap target; and each fault of the player's folder, in
// the box and on standard error with its cure. A player's own settings need no
// installed default.
TEST(Headless, FilesAndFoldersThatCannotBeUsedAreNamed) {
    InstalledGame game;
    const std::string player = game.player.string(), share = game.share.string();
    const std::string locked =
        "/sys/korvath-test"; // no one may make it: mkdir's answer is the cause
    const std::string lockedCause = ::mkdir(locked.c_str(), 0700) == 0 ? "" : std::strerror(errno);
    const std::string pipe = "not a regular file (a named pipe, socket or device)";
    const std::string ownFolder = "mkdir -p data/korvath/DATAS; ";
    const std::string putOwnFile = "Put the game's own file under that name.";
    struct Case {
        std::string shell; // before the program
        int exitCode;
        std::string failure, advice;
    };
    const Case cases[] = {
        {"mkfifo SETTINGS.TXT; " + game.start, 1, "SETTINGS.TXT cannot be read: " + pipe,
         putOwnFile},
        {ownFolder + "mkfifo data/korvath/SETTINGS.TXT; " + game.start, 1,
         "SETTINGS.TXT cannot be read: " + pipe,
         player + "/SETTINGS.TXT is not a readable plain file.\nDelete it"},
        {ownFolder + "mkfifo data/korvath/DATAS/PION1.RAW; " + game.start, 1,
         "DATAS/PION1.RAW cannot be opened: " + pipe, putOwnFile},
        {ownFolder + "mkfifo data/korvath/DATAS/QVR.RAW; " + game.start, 1,
         "DATAS/QVR.RAW cannot be opened: " + pipe, putOwnFile},
        {"rm script.txt; mkfifo script.txt; " + game.start, 2,
         "cannot read script script.txt: " + pipe, ""},
        {"mkfifo pipe.png; " + game.start, 2, "pipe.png: " + pipe, ""},
        {"timeout 10 env -u HOME -u XDG_DATA_HOME ", 1,
         "no player's folder: neither XDG_DATA_HOME nor HOME is set", "Set HOME"},
        {"touch data/korvath; " + game.start, 1,
         "the player's folder " + player + " cannot be made: a file stands in its place",
         "Move away"},
        {game.start + "XDG_DATA_HOME=" + locked + " ", 1,
         "the player's folder " + locked + "/korvath cannot be made: " + lockedCause, "Move away"},
        {ownFolder + "echo > data/korvath/SETTINGS.TXT; " + game.start, 1, "SETTINGS.TXT is empty",
         player + "/SETTINGS.TXT holds no settings.\nDelete it"},
        // A full disk: the default outgrows what a run may write (2 KiB), its messages do not.
        {"head -c 8192 /dev/zero | tr '\\0' ' ' >> " + share + "/SETTINGS.TXT; ulimit -f 4; " +
             game.start,
         1,
         "the default settings cannot be written to the player's folder " + player +
             ": File too large",
         "Free some space"},
        {"rm " + share + "/SETTINGS.TXT; " + game.start, 1,
         "the default settings cannot be read from " + share +
             "/SETTINGS.TXT: No such file or directory",
         "The game is not installed whole."},
    };
    for (const Case& c : cases) {
        fs::remove(game.dir / "script.txt"); // writing it would wait on the pipe case's reader
        const RunResult run = game.run("wait 5\nsnap pipe.png\nprint\n",
                                       "rm -rf data SETTINGS.TXT pipe.png; mkdir data; " + c.shell);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.failure << run.err;
        EXPECT_NE(run.err.find(c.failure), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.advice), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("FAILED: ERROR:" + c.failure) != std::string::npos, c.exitCode == 1);
        EXPECT_TRUE(run.prints.empty()) << c.failure;
        EXPECT_FALSE(fs::exists(game.player / "SETTINGS.TXT") && c.advice == "Free some space");
    }
    fs::create_directories(game.player);
    std::ofstream(game.player / "SETTINGS.TXT") << "W 640 H 480 S 64 T 128 HARDWARE 1 MUSIC 0\n";
    const RunResult own = game.run("print\n", game.start);
    EXPECT_EQ(own.prints.size(), 1u) << own.err; // the installed default is still missing
}

// Two first starts at once both find the whole default settings; a first start
// killed at any moment leaves none or the whole file, never a part.
TEST(Headless, TheFirstCopyOfTheSettingsIsWholeOrAbsent) {
    InstalledGame game;
    const std::string defaults = readText(game.share / "SETTINGS.TXT");
    // The folder is emptied once before each start or pair: a second rm could
    // take the folder from under the first start's feet.
    const std::string folder = "cd '" + game.dir.string() + "' && rm -rf data; ";
    const std::string start = game.start + "'" + game.program + "' print.txt";
    std::ofstream(game.dir / "print.txt") << "print\n";
    for (int pair = 0; pair < 20; ++pair) {
        const std::string both = "sh -c \"" + folder + start + " > out1 2>&1 & " + start +
                                 " > out2 2>&1; r2=\\$?; wait \\$!; exit \\$((\\$? + r2))\"";
        ASSERT_EQ(WEXITSTATUS(std::system(both.c_str())), 0)
            << readText(game.dir / "out1") << readText(game.dir / "out2");
        EXPECT_EQ(readText(game.player / "SETTINGS.TXT"), defaults);
    }
    for (int delay = 0; delay < 40; delay += 2) {
        // Without timeout in between, $! is the game itself (the shell execs the
        // list's last command), so the kill reaches it and no orphan outlives the test.
        const std::string killed = folder + "exec " + game.environment + "'" + game.program +
                                   "' print.txt > /dev/null 2>&1 & sleep " +
                                   std::to_string(delay / 1000.0) + "; kill -9 $!; wait";
        std::system(killed.c_str());
        const fs::path copy = game.player / "SETTINGS.TXT";
        EXPECT_EQ(fs::exists(copy) ? readText(copy) : defaults, defaults) << delay << " ms";
    }
}

// ---- Whole games and the game's record ------------------------------------------

constexpr int HumanSide = 0, ComputerSide = 1, MaxPlies = 160;

// korvath-engine's answer to loading the record: the game's final position, or its error.
std::string loadThroughEngine(const fs::path& record) {
    const fs::path dir = record.parent_path();
    std::ofstream(dir / "load.txt") << "load " << record.string() << "\n";
    const std::string command = "'" KORVATH_BIN_DIR "/korvath-engine' < '" +
                                (dir / "load.txt").string() + "' > '" +
                                (dir / "loaded.txt").string() + "'";
    if (std::system(command.c_str()) != 0) return "korvath-engine failed";
    std::string answer = readText(dir / "loaded.txt");
    if (!answer.empty()) answer.pop_back();
    return answer;
}

// The computer's first answer is a random opening step drawn from the frame
// count: a first run, ending in a print at ply 2, finds out the position.
void positionAtPly2(const GameFolder& folder, const std::string& script, Position& position) {
    const RunResult opening = folder.run(script);
    ASSERT_EQ(opening.exitCode, 0) << opening.err;
    ASSERT_EQ(opening.prints.size(), 1u);
    ASSERT_EQ(opening.prints[0].ply, 2);
    int32_t variant = 0;
    ASSERT_EQ(parsePosition(opening.prints[0].position, position, variant), "");
}

// The human here plays to lose quickly, so that the game ends: the move after
// which the computer's best two-ply answer is worth most to the computer. A
// click on the final square plays the last listed move of that piece ending
// there, so that is the move returned.
Move chooseLosingMove(const Position& position) {
    static MoveList moves; // the searches leave it alone
    generateMoves(position, HumanSide, moves);
    Move chosen{};
    int32_t bestValue = -SearchInfinity - 1;
    for (int i = 0; i < moves.count; ++i) {
        Position after{};
        playMove(position, after, moves.moves[i], HumanSide);
        const int32_t value = fastSearchRoot(after, ComputerSide, 2);
        if (value > bestValue) {
            bestValue = value;
            chosen = moves.moves[i];
        }
    }
    auto end = [](const Move& m) { return formatSquare(m.path[m.steps - 1]); };
    for (int i = 0; i < moves.count; ++i)
        if (moves.moves[i].piece == chosen.piece && end(moves.moves[i]) == end(chosen))
            chosen = moves.moves[i];
    return chosen;
}

// What a print line says of the game, leaving out the frame and the selection.
std::string gameOf(const PrintLine& p) {
    return std::to_string(p.human) + " " + std::to_string(p.level) + " " +
           std::to_string(p.toMove) + " " + std::to_string(p.ply) + " " + p.position;
}

// The human's move and the computer's answer unfold one path step per frame, the
// turn passes in the frame after the last step, and once a side has lost the
// camera turns around the board. The game is played over three runs, each resuming
// the saved game of the one before: at ply 2, and after the first capture chain.
TEST(WholeGame, PlayedWithClicksToTheEndOverThreeRuns) {
    GameFolder folder;
    Position position = startOf(0);
    const std::string firstMove =
        ToFirstGameFrame + moveClicks(position, chooseLosingMove(position)) + "print\n";
    ASSERT_NO_FATAL_FAILURE(positionAtPly2(folder, firstMove, position));

    // From here on the computer searches, which the test can foresee exactly.
    const std::string resumed = ToFirstGameFrame + "print\n";
    std::vector<std::string> scripts = {resumed};
    int ply = 2;
    std::vector<std::string> expected; // as gameOf prints them
    auto expect = [&](int toMove) {
        expected.push_back("0 0 " + std::to_string(toMove) + " " + std::to_string(ply) + " " +
                           formatPosition(position, 0));
    };
    expect(HumanSide);
    int chains = 0;
    bool computerLost = false;
    while (ply < MaxPlies && countPieces(position, HumanSide) > 0) {
        generateMoves(position, HumanSide, Moves);
        if (Moves.count == 0) break; // blocked with pieces: the game stalls
        const Move move = chooseLosingMove(position);
        const auto [from, to] = movePoints(position, move, 8);
        std::string& script = scripts.back();
        script += clickAt(from) + press(to);
        script += "wait 1\nprint\nup left\n"; // the frame that takes the move
        expect(HumanSide);
        const size_t printed = expected.size();
        chains += move.steps > 1;
        for (int k = 0; k < move.steps; ++k) {
            applyStep(position, move.piece, move.path[k], HumanSide);
            expect(HumanSide);
        }
        ++ply;
        expect(ComputerSide); // the turn passes
        computerLost = countPieces(position, ComputerSide) == 0;
        if (!computerLost) {
            fastSearchRoot(position, ComputerSide, levelSearchDepth(0));
            const Move answer = bestMove[0];
            if (answer.piece == -1) break; // the computer is blocked
            expect(ComputerSide);          // the search's frame
            chains += answer.steps > 1;
            for (int k = 0; k < answer.steps; ++k) {
                applyStep(position, answer.piece, answer.path[k], ComputerSide);
                expect(ComputerSide);
            }
            ++ply;
            expect(HumanSide);
        }
        for (size_t f = printed; f < expected.size(); ++f)
            script += "wait 1\nprint\n"; // a frame each
        if (computerLost) break;
        if (chains > 0 && scripts.size() == 1) {
            scripts.push_back(resumed);
            expect(HumanSide); // the same turn, resumed
        }
    }
    ASSERT_TRUE(countPieces(position, HumanSide) == 0 || computerLost)
        << "the planned game did not end within " << MaxPlies << " plies";
    ASSERT_EQ(scripts.size(), 2u) << "no capture chain came up in this game";
    scripts.back() += "key F4\nwait 1\n";
    // A finished game is not resumed: the next run begins anew.
    scripts.push_back(resumed);
    expected.push_back("0 0 0 0 " + formatPosition(startOf(0), 0));

    std::vector<std::string> printed;
    std::string out;
    for (const std::string& script : scripts) {
        const RunResult run = folder.run(script);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const PrintLine& p : run.prints) printed.push_back(gameOf(p));
        out += run.out;
    }
    EXPECT_EQ(printed, expected);

    // F4: the record loads back to the same end, and names the winner.
    EXPECT_NE(out.find("game0.pdn"), std::string::npos) << out;
    const std::string pdn = readText(folder.dir / "game0.pdn");
    // In checkers the first to move is Black.
    EXPECT_NE(pdn.find("[White \"Korvath (BEGINNERS)\"]\n[Black \"Human\"]\n[Result \"" +
                       std::string(computerLost ? "0-1" : "1-0") + "\"]\n[GameType \"21\"]\n"),
              std::string::npos)
        << pdn;
    EXPECT_EQ(loadThroughEngine(folder.dir / "game0.pdn"), formatPosition(position, 0));
}

class TakeBack : public ::testing::TestWithParam<int> {};

// Each run resumes the game the run before left: mid-game, after a take back (which goes
// on back across the restart), and on the computer's turn.
TEST_P(TakeBack, RestoresEarlierTurnsAlsoAcrossRestarts) {
    const int variant = GetParam();
    const int columns = ruleVariants[variant].columns;
    GameFolder folder;
    std::string prologue = ToFirstGameFrame;
    for (int i = 0; i < variant; ++i) prologue += clickAt(RulesButton);
    const Position start = startOf(variant);
    prologue += moveClicks(start, lastMove(start), columns) + "print\n"; // after a random reply

    Position ply2{};
    ASSERT_NO_FATAL_FAILURE(positionAtPly2(folder, prologue, ply2));
    // From the third ply on the computer searches, and the test foresees it.
    Position ply3{}, ply4{};
    const Move second = lastMove(ply2);
    playMove(ply2, ply3, second, HumanSide);
    fastSearchRoot(ply3, ComputerSide, levelSearchDepth(0));
    playMove(ply3, ply4, bestMove[0], ComputerSide);
    const std::string back = "key BACKSPACE\nwait 1\nprint\n";
    const std::string resumed = ToFirstGameFrame + "print\n";
    const std::string scripts[] = {
        resumed                                                     // 0: ply 2
            + moveClicks(ply2, second, columns) + "print\n"         // 1: ply 4
            + moveClicks(ply4, lastMove(ply4), columns) + "print\n" // 2: ply 6
            + back,                                                 // 3: ply 4
        resumed                                                     // 4: ply 4
            + back                                                  // 5: ply 2
            + moveClicks(ply2, second, columns) + "print\n"         // 6: ply 4 again
            + "key F4\nwait 1\nkey BACKSPACE\nwait 1\n" + back      // 7: the first position
            + back                                                  // 8: nothing to take back
            + press(SideButton) + "wait 1\nprint\n",                // 9: the computer's turn
        resumed};                                                   // 10: it has moved
    std::vector<PrintLine> p;
    for (const std::string& script : scripts) {
        const RunResult run = folder.run(script);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        p.insert(p.end(), run.prints.begin(), run.prints.end());
    }
    ASSERT_EQ(p.size(), 11u);
    EXPECT_EQ(p[0].position, formatPosition(ply2, variant));
    EXPECT_EQ(std::vector<int>({p[0].ply, p[1].ply, p[2].ply}), std::vector<int>({2, 4, 6}));
    EXPECT_EQ(std::vector<std::string>({gameOf(p[3]), gameOf(p[4]), gameOf(p[5]), gameOf(p[6])}),
              std::vector<std::string>({gameOf(p[1]), gameOf(p[1]), gameOf(p[0]), gameOf(p[1])}));
    EXPECT_EQ(p[7].state, newGame(variant));
    EXPECT_EQ(p[8].state, p[7].state);
    EXPECT_EQ(std::vector<int>({p[9].human, p[9].toMove, p[9].ply, p[10].human, p[10].ply}),
              std::vector<int>({1, 0, 0, 1, 1}));

    // The record written at ply 4 loads back through the engine to that position.
    const std::string pdn = readText(folder.dir / "game0.pdn");
    EXPECT_NE(pdn.find("[Result \"*\"]\n[GameType \"" + std::string(variant == 0 ? "21" : "20") +
                       "\"]\n[Variant \"" + ruleVariants[variant].label + "\"]\n"),
              std::string::npos)
        << pdn;
    EXPECT_EQ(loadThroughEngine(folder.dir / "game0.pdn"), p[6].position);
}

INSTANTIATE_TEST_SUITE_P(EveryRuleSet, TakeBack, ::testing::Values(0, 1, 2));

// A save that does not come back is kept under a new name with one line saying so, and a
// new game starts; so it does when the save is not a plain file.
TEST(Resume, ABadSaveIsSetAsideAndANewGameStarts) {
    GameFolder folder;
    ASSERT_EQ(folder.run(ToFirstGameFrame + moveClicks(startOf(0), lastMove(startOf(0)))).exitCode,
              0);
    const std::string good = readText(folder.dir / "autosave.pdn");
    std::ofstream(folder.dir / "autosave-bad0.pdn") << "older"; // never replaced
    const std::string saves[] = {"", good.substr(0, good.size() - 20),
                                 std::string("\x89PNG\0\1", 6),
                                 good.substr(0, good.find("\n\n")) + "\n\n1. 9-14 *\n"};
    int number = 1;
    for (const std::string& save : saves) {
        std::ofstream(folder.dir / "autosave.pdn", std::ios::binary) << save;
        const RunResult run = folder.run(ToFirstGameFrame + "print\n");
        ASSERT_EQ(run.prints.size(), 1u) << run.err;
        EXPECT_EQ(run.prints[0].state, newGame(0));
        const std::string aside = "autosave-bad" + std::to_string(number++) + ".pdn";
        EXPECT_EQ(run.err.rfind("korvath: autosave.pdn cannot be resumed (", 0), 0u) << run.err;
        EXPECT_TRUE(run.err.ends_with("); kept as " + aside + ", a new game starts\n")) << run.err;
        EXPECT_EQ(readText(folder.dir / aside), save);
    }
    fs::remove(folder.dir / "autosave.pdn");
    fs::create_directory(folder.dir / "autosave.pdn");
    const RunResult run = folder.run(ToFirstGameFrame + "print\n");
    EXPECT_NE(run.err.find("is not a plain file"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_directory(folder.dir / "autosave-bad5.pdn"));
    EXPECT_EQ(readText(folder.dir / "autosave-bad0.pdn"), "older");
    EXPECT_NE(readText(folder.dir / "autosave.pdn").find("[PlyCount \"0\"]"), std::string::npos);
}

// Killed while it waits for the human, the game comes back at the same turn; a save that
// cannot be written (a file-size limit, as on a full disk) is named once and the game goes
// on, leaving the last save as it was.
TEST(Resume, AKilledRunLosesNothingAndAFailedSaveKeepsTheLastOne) {
    GameFolder folder;
    const Position start = startOf(0);
    std::ofstream(folder.dir / "script.txt")
        << ToFirstGameFrame + moveClicks(start, lastMove(start)) + "print\nwait 1000000000\n";
    // The backgrounded game is its own process ($!), which the kill reaches.
    const std::string killAfterAPrint =
        "cd '" + folder.dir.string() +
        "' && { '" KORVATH_BIN_DIR "/korvath-headless' script.txt > out.txt 2> err.txt & for i in "
        "$(seq 600); do [ -s out.txt ] && break; sleep 0.1; done; kill -9 "
        "$!; wait; }";
    std::system(killAfterAPrint.c_str());
    const std::string out = readText(folder.dir / "out.txt");
    ASSERT_NE(out.find('\n'), std::string::npos) << "the game never printed";
    const std::string saved = readText(folder.dir / "autosave.pdn");
    const PrintLine killed = parsePrintLine(out.substr(0, out.find('\n')));

    // Through a pipe the output is free of the limit.
    Position ply2{};
    int32_t variant = 0;
    ASSERT_EQ(parsePosition(killed.position, ply2, variant), "");
    std::ofstream(folder.dir / "script.txt")
        << ToFirstGameFrame + "print\n" + moveClicks(ply2, lastMove(ply2)) + "print\n";
    const std::string command = "cd '" + folder.dir.string() +
                                "' && (ulimit -f 0; '" KORVATH_BIN_DIR
                                "/korvath-headless' script.txt 2>&1) | cat > limited.txt";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::istringstream limited(readText(folder.dir / "limited.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(limited, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << limited.str();
    EXPECT_EQ(parsePrintLine(lines[0]).state, killed.state);
    EXPECT_EQ(lines[1], "korvath: the game could not be saved in autosave.pdn: File too large");
    EXPECT_EQ(parsePrintLine(lines[2]).ply, 4);
    EXPECT_EQ(readText(folder.dir / "autosave.pdn"), saved);
    for (const auto& entry : fs::directory_iterator(folder.dir)) // no temporary file is left
        EXPECT_FALSE(entry.path().filename().string().starts_with("autosave.pdn.")) << entry.path();
}

} // namespace
