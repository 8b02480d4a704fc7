// korvath-headless end to end: the real program on the headless backend,
// driven by scripts. The menu by its rectangles, screenshots, the closing
// fade, Escape in every stage, a lost display, minimising, and the script
// language's own errors.
#include "app_headless_support.h"

#include "rules/moves.h"

namespace {

using namespace headless;

std::string waitAndPrint(int passes) {
    return "wait " + std::to_string(passes) + "\nprint\n";
}

// The first legal move of side 0 from the start of a US RULES game: where its
// piece and its target square are on the screen.
struct MovePoints {
    ScreenPoint piece, target;
};

MovePoints firstHumanMovePoints(const GameFolder& folder) {
    selectRuleVariant(0);
    Position position{};
    setUpPosition(position);
    static MoveList moves;
    generateMoves(position, 0, moves);
    const Move& move = moves.moves[0];
    const Piece& piece = pieceOf(position, 0, move.piece);
    return {squareOnScreen(piece.column, piece.row, 8, 0, folder.width(), folder.height()),
            squareOnScreen(move.path[0].column, move.path[0].row, 8, 0, folder.width(),
                           folder.height())};
}

std::string firstHumanMove(const GameFolder& folder) {
    const MovePoints points = firstHumanMovePoints(folder);
    return clickAt(points.piece) + clickAt(points.target);
}

const ScreenPoint BeginInside{50, 42};
const ScreenPoint BeginBottomEdge{50, 55};
const ScreenPoint SideButton{50, 70};
const ScreenPoint LevelButton{50, 100};
const ScreenPoint RulesButton{50, 130};
const ScreenPoint ExitButton{50, 160};

// Comments and blank lines are skipped; each intro's last frame and the next stage's first
// (31 frames, then 61), up to the first game frame.
TEST(Headless, FirstGameFrameFollowsTheTwoIntros) {
    GameFolder folder;
    const int frames[] = {
        6, 32, 33, PassesToFirstGameFrame - 2, PassesToFirstGameFrame - 1, PassesToFirstGameFrame};
    const int stages[] = {1, 1, 2, 2, 3, 3};
    std::string script = "# just start\n\n  wait 5 # five passes\nprint\n";
    for (int i = 1; i < 6; ++i) script += waitAndPrint(frames[i] - frames[i - 1]);
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 6u) << run.out;
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(run.prints[i].frame, frames[i]);
        EXPECT_EQ(run.prints[i].appStage, stages[i]) << "frame " << frames[i];
    }
    EXPECT_EQ(run.prints[5].exitStage, 0);
    EXPECT_EQ(state(run.prints[5]), "0 0 0 0 0 -1 " + startPosition(0));
}

// BEGIN counts only strictly inside its rectangle; RULES cycles through three new games;
// LEVEL and SIDE change the game in play.
TEST(Headless, MenuButtonsBeginAnewAndChangeTheRulesLevelAndSide) {
    GameFolder folder;
    std::string script = toFirstGameFrame();
    script += firstHumanMove(folder) + waitAndPrint(20); // 0: the computer has answered
    script += clickAt(BeginBottomEdge) + "print\n";      // 1: only selects a piece
    script += clickAt(BeginBottomEdge) + "print\n";      // 2: re-selects, no new game
    script += clickAt(BeginInside) + "print\n";          // 3: re-selects and begins anew
    for (int i = 0; i < 3; ++i) {
        // With nothing selected the press is the piece's, not the button's.
        script += clickAt(RulesButton) + "print\n" + clickAt(RulesButton) + "print\n"; // 4..9
    }
    script += clickAt(LevelButton) + clickAt(LevelButton) + "print\n"; // 10: EXPERT
    script += clickAt(LevelButton) + "print\n";                        // 11: BEGINNERS again
    // The selection survives the level press, so this press turns the sides
    // and the computer plays the first move for the side just left.
    script += clickAt(SideButton) + "print\n"; // 12
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 13u) << run.out;
    const std::vector<PrintLine>& p = run.prints;
    EXPECT_EQ(p[0].ply, 2);
    EXPECT_EQ(p[0].toMove, 0);
    EXPECT_NE(p[1].selected, -1);
    EXPECT_EQ(p[2].position, p[0].position);
    EXPECT_EQ(p[2].ply, 2);
    EXPECT_EQ(state(p[3]), "0 0 0 0 0 -1 " + startPosition(0));
    for (int i = 0; i < 3; ++i) {
        const int rules = (i + 1) % 3;
        EXPECT_EQ(p[4 + 2 * i].rules, (rules + 2) % 3) << i;
        EXPECT_NE(p[4 + 2 * i].selected, -1) << i;
        EXPECT_EQ(state(p[5 + 2 * i]),
                  std::to_string(rules) + " 0 0 0 0 -1 " + startPosition(rules));
    }
    EXPECT_EQ(std::vector<int>({p[10].level, p[10].ply, p[11].level}), std::vector<int>({1, 0, 0}));
    EXPECT_EQ(std::vector<int>({p[12].human, p[12].ply, p[12].toMove}),
              std::vector<int>({1, 1, 1}));
    EXPECT_NE(p[12].position, startPosition(0));
}

TEST(Headless, ExitFadesOutOverTwelveFramesThenEndsWithCodeZero) {
    GameFolder folder;
    std::string script = toFirstGameFrame();
    script += clickAt(ExitButton);                        // selects a piece
    script += "mouse 50 160\ndown left\nwait 1\nprint\n"; // 0: EXIT picked
    script += "wait 1\nprint\n";                          // 1: the picture is captured
    for (int i = 0; i < 12; ++i)
        script += "wait 1\nprint\nsnap fade" + std::to_string(i) + ".png\n"; // 2..13
    script += "wait 100\nprint\n"; // never reached: the window is closed
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 14u) << run.out;
    EXPECT_EQ(run.prints[0].exitStage, 1);
    EXPECT_EQ(run.prints[1].exitStage, 2);
    for (int i = 2; i < 13; ++i) EXPECT_EQ(run.prints[i].exitStage, 2) << i;
    EXPECT_EQ(run.prints[13].exitStage, 3);
    // Two frames at full brightness, then darker down to almost black.
    const auto first = fs::file_size(folder.dir() / "fade0.png");
    const auto last = fs::file_size(folder.dir() / "fade11.png");
    EXPECT_GT(first, UniformPictureBytes);
    EXPECT_LT(last, first / 4);
    EXPECT_NE(run.err.find("ended before"), std::string::npos);
}

TEST(Headless, EscapeEndsAtOnceInEveryStage) {
    GameFolder folder;
    const std::string exitPress = clickAt(ExitButton) + "mouse 50 160\ndown left\nwait 3\n";
    const std::string before[] = {
        "",                                                          // before the first stage step
        "wait 10\n",                                                 // first intro
        "wait 50\n",                                                 // second intro
        "wait " + std::to_string(PassesToFirstGameFrame + 4) + "\n", // game
        toFirstGameFrame() + exitPress,                              // closing fade
        "wait 50\nminimize\nwait 5\n",                               // minimised
    };
    for (const std::string& prefix : before) {
        const RunResult run = folder.run(prefix + "key ESCAPE\nwait 2000\nprint\n");
        EXPECT_EQ(run.exitCode, 0) << prefix << run.err;
        EXPECT_TRUE(run.prints.empty()) << prefix << run.out;
    }
}

// A lost display is repaired in every stage and play goes on; screenshots show the board
// on black, one a frame, and never replace what an earlier run left.
TEST(Headless, ALostDisplayIsRepairedAndScreenshotsShowTheBoardOnBlack) {
    GameFolder folder;
    // What an earlier run left is kept: the numbers go on past it.
    std::ofstream(folder.dir() / "page0.raw") << "earlier";
    fs::create_directory(folder.dir() / "page2.raw");
    std::string script = "wait 20\nlose\nwait 2\nprint\n"; // 0: during the first intro
    script += toFirstGameFrame();
    script += "lose\nwait 2\nprint\nsnap repaired.png\n"; // 1: in the game
    script += "key F3\nkey F3\nwait 1\nkey F3\nwait 1\nkey F3\nwait 1\nkey F3\nwait 1\n";
    script += firstHumanMove(folder) + waitAndPrint(20); // 2: play goes on
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 3u) << run.out;
    EXPECT_EQ(run.prints[0].appStage, 1);
    EXPECT_EQ(run.prints[1].appStage, 3);
    EXPECT_EQ(run.prints[2].ply, 2);
    EXPECT_GT(fs::file_size(folder.dir() / "repaired.png"), UniformPictureBytes);
    for (const char* name : {"page1.raw", "page3.raw", "page4.raw", "page5.raw"})
        EXPECT_EQ(fs::file_size(folder.dir() / name), 640u * 480u * 3u) << name;
    EXPECT_FALSE(fs::exists(folder.dir() / "page6.raw")); // two F3 before one frame: one picture
    EXPECT_EQ(GameFolder::readText(folder.dir() / "page0.raw"), "earlier");

    const std::string rgb = GameFolder::readText(folder.dir() / "page1.raw");
    auto isBlack = [&](int x, int y) {
        const size_t at = (static_cast<size_t>(y) * 640 + x) * 3;
        return rgb[at] == 0 && rgb[at + 1] == 0 && rgb[at + 2] == 0;
    };
    EXPECT_TRUE(isBlack(0, 0)); // no backdrop
    EXPECT_TRUE(isBlack(639, 479));
    EXPECT_TRUE(isBlack(50, 40));    // no menu
    EXPECT_FALSE(isBlack(320, 240)); // the board
    const double lit = litFraction(rgb);
    EXPECT_GT(lit, 0.15);
    EXPECT_LT(lit, 0.85);
    EXPECT_EQ(GameFolder::readText(folder.dir() / "page3.raw"), rgb);
}

TEST(Headless, MinimisingFreezesEveryStage) {
    GameFolder folder;
    std::string script = "wait 40\nprint\nminimize\nwait 300\nprint\nrestore\nwait 1\nprint\n";
    script += toFirstGameFrame() + "print\n";
    // A press made while minimised is seen only once the window is back.
    const MovePoints move = firstHumanMovePoints(folder);
    script += clickAt(move.piece) + "mouse " + std::to_string(move.target.x) + " " +
              std::to_string(move.target.y) + "\ndown left\nminimize\n";
    script += "wait 300\nprint\nrestore\nwait 30\nprint\n";
    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 6u) << run.out;
    EXPECT_EQ(run.prints[0].appStage, 2);
    EXPECT_EQ(run.prints[1].appStage, 2); // 300 passes later, still the second intro
    EXPECT_EQ(run.prints[2].appStage, 2);
    EXPECT_EQ(run.prints[3].appStage, 3);
    EXPECT_EQ(run.prints[4].ply, 0); // the move waits for the window
    EXPECT_EQ(run.prints[5].ply, 2);
}

TEST(Headless, BadScriptLinesAreNamedAndEndWithCodeTwo) {
    GameFolder folder;
    const std::pair<std::string, std::string> cases[] = {
        {"wait 1\nprint\njump 3\n", "script.txt:3:"},
        {"# comment\nwait x\n", "script.txt:2:"},
        {"mouse 10\n", "script.txt:1:"},
        {"key F5\n", "script.txt:1:"},
        {"down middle\n", "script.txt:1:"},
        {"snap\n", "script.txt:1:"},
        {"print now\n", "script.txt:1:"},
        {"wait -1\n", "script.txt:1:"},
    };
    for (const auto& [script, where] : cases) {
        const RunResult run = folder.run(script);
        EXPECT_EQ(run.exitCode, 2) << script;
        EXPECT_NE(run.err.find(where), std::string::npos) << script << run.err;
        EXPECT_TRUE(run.out.empty()) << script; // the game never started
    }
    const int status = std::system("'" KORVATH_BIN_DIR "/korvath-headless' > /dev/null 2>&1");
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// Beside the box, one plain line on standard error says what is wrong and how
// to mend it: the settings pair and its allowed values, or where to start from.
TEST(Headless, StartFailuresAreExplainedOnOneLine) {
    const std::pair<const char*, const char*> cases[] = {
        {nullptr, "korvath: SETTINGS.TXT is missing; start the game from the folder that holds"},
        {"WIDTH 700\nHEIGHT 600\nS 64\nT 128\nHARDWARE 1\nMUSIC 0\n",
         "korvath: SETTINGS.TXT: the screen width (pair 1) is 700; use 640, 800 or 1024"},
        {"WIDTH 800\nHEIGHT 0\nS 64\nT 128\nHARDWARE 1\nMUSIC 0\n",
         "korvath: SETTINGS.TXT: the screen height (pair 2) is 0; use 480, 600 or 768"},
        {"WIDTH 640\nHEIGHT 480\nS 64\nT 128\nHARDWARE 2\nMUSIC 0\n",
         "korvath: SETTINGS.TXT: the hardware choice (pair 5) is 2; use 0 or 1"},
    };
    for (const auto& [settings, line] : cases) {
        GameFolder folder;
        if (settings == nullptr)
            fs::remove(folder.dir() / "SETTINGS.TXT");
        else
            std::ofstream(folder.dir() / "SETTINGS.TXT") << settings;
        const RunResult run = folder.run("wait 5\nprint\n");
        EXPECT_EQ(run.exitCode, 1) << line;
        EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("FAILED: ERROR:"), std::string::npos) << run.err; // the box
        EXPECT_TRUE(run.prints.empty());
    }
}

// Over a file-size limit F3 fails with a message and the game goes on; a snap
// that is not written whole, or a script that cannot be read, ends with code 2.
TEST(Headless, FailedWritesAndReadsAreReported) {
    GameFolder folder;
    fs::create_directory(folder.dir() / "folder");
    struct Case {
        std::string script, shellPrefix, scriptName;
        size_t prints;
        const char* message;
    };
    const Case cases[] = {
        {toFirstGameFrame() + "key F3\nwait 1\nprint\n" + "snap big.png\nprint\n", "ulimit -f 40; ",
         "script.txt", 1, "big.png: File too large"},
        {"wait 5\nsnap /dev/full\nprint\n", "", "script.txt", 0, "could not write /dev/full"},
        {"", "", "folder", 0, "cannot read script folder"},
    };
    for (const Case& c : cases) {
        const RunResult run = folder.run(c.script, c.shellPrefix, c.scriptName);
        EXPECT_EQ(run.exitCode, 2) << c.message << run.err;
        EXPECT_EQ(run.prints.size(), c.prints) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_NE(GameFolder::readText(folder.dir() / "err.txt").find("Is a directory"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(folder.dir() / "big.png"));
    EXPECT_FALSE(fs::exists(folder.dir() / "page0.raw"));
    const std::string printToFullDisk = "cd '" + folder.dir().string() +
                                        "' && echo print > s.txt && '" KORVATH_BIN_DIR
                                        "/korvath-headless' s.txt > /dev/full 2> /dev/null";
    EXPECT_EQ(WEXITSTATUS(std::system(printToFullDisk.c_str())), 2);
}

TEST(Headless, AMissingPictureOrIntroFileIsReported) {
    for (const char* missing : {"FOND.RAW", "CHECKERS.RAW"}) {
        GameFolder folder;
        // A DATAS folder of its own with one file left out.
        fs::remove(folder.dir() / "DATAS");
        fs::create_directory(folder.dir() / "DATAS");
        for (const auto& entry : fs::directory_iterator(fs::path(KORVATH_DATA_DIR) / "DATAS"))
            if (entry.path().filename() != missing)
                fs::create_symlink(entry.path(), folder.dir() / "DATAS" / entry.path().filename());
        const RunResult run = folder.run("wait 200\nprint\n");
        EXPECT_EQ(run.exitCode, 1) << missing;
        EXPECT_NE(run.err.find("FAILED"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("ERROR:"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(missing), std::string::npos) << run.err;
        EXPECT_TRUE(run.prints.empty()) << missing;
    }
}

} // namespace
