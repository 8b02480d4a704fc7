// Whole games against the computer through korvath-headless, played with
// clicks at the squares' projected positions and checked frame by frame: the
// human's move and the computer's answer unfold one path step per frame, the
// turn passes in the frame after the last step, and once a side has lost the
// camera turns around the board. Take backs in every rule set, and the game's
// record replayed through korvath-engine.
#include "app_headless_support.h"

#include <map>

#include "rules/fast_search.h"
#include "rules/search.h"

namespace {

using namespace headless;

constexpr int HumanSide = 0;
constexpr int ComputerSide = 1;
constexpr int Columns = 8; // US RULES
constexpr int MaxPlies = 160;

struct Expected {
    std::string position;
    int toMove, ply;
};

MoveList Moves; // scratch for the planner

// ---- The game's record ------------------------------------------------------

struct PdnRecord {
    std::map<std::string, std::string> tags;
    std::vector<std::vector<int>> moves; // each move's squares: from, then every landing
    std::string result;
};

// Tags up to the blank line, then move numbers ("7."), moves ("22x15x6") and,
// last, the result.
PdnRecord parsePdn(const std::string& text) {
    PdnRecord record;
    std::istringstream lines(text);
    std::string line, word;
    while (std::getline(lines, line) && !line.empty()) {
        const size_t open = line.find('"');
        record.tags[line.substr(1, line.find(' ') - 1)] =
            line.substr(open + 1, line.size() - open - 3);
    }
    while (lines >> word) {
        if (word.back() == '.') continue;
        record.result = word;
        for (char& c : word) c = c == '-' || c == 'x' ? ' ' : c;
        std::istringstream numbers(word);
        record.moves.emplace_back();
        for (int square; numbers >> square;) record.moves.back().push_back(square);
    }
    record.moves.pop_back(); // the result
    return record;
}

// Standard numbering, rows of 4 (8x8) or 5 (10x10) from the top of the usual
// diagram, where the first row's squares are the second, fourth... of the row.
// The first mover starts at the top on 8x8 (Black) and at the bottom on 10x10
// (White); our side 0 moves first and starts on the high rows.
Square squareOfNumber(int number, int columns) {
    const int perRow = columns / 2;
    const int rank = (number - 1) / perRow;
    const int file = 2 * ((number - 1) % perRow) + (rank % 2 == 0 ? 1 : 0);
    if (columns == 8) return {file, 7 - rank};
    return {9 - file, rank};
}

// Plays the record's moves through korvath-engine from the start of the rule
// set; returns the engine's last answer (the final position) or its first error.
std::string replayThroughEngine(const PdnRecord& record, int variant, const fs::path& dir) {
    selectRuleVariant(variant);
    const int columns = ruleVariants[variant].columns;
    Position position{};
    setUpPosition(position);
    std::string script = "new " + std::to_string(variant) + "\n";
    int side = 0;
    for (const std::vector<int>& squares : record.moves) {
        const Square from = squareOfNumber(squares[0], columns);
        Move move{};
        move.piece = findPieceAt(from.column, from.row, position);
        if (move.piece == -1 || lastFoundSide != side)
            return "no own piece on " + formatSquare(from);
        move.steps = static_cast<int32_t>(squares.size()) - 1;
        for (int k = 0; k < move.steps; ++k) move.path[k] = squareOfNumber(squares[k + 1], columns);
        script += "play " + std::to_string(side) + " " + formatMove(move) + "\n";
        Position after{};
        playMove(position, after, move, side);
        position = after;
        side = 1 - side;
    }
    std::ofstream(dir / "replay.txt") << script << "show\nquit\n";
    const std::string command = "'" KORVATH_BIN_DIR "/korvath-engine' < '" +
                                (dir / "replay.txt").string() + "' > '" +
                                (dir / "replayed.txt").string() + "'";
    if (std::system(command.c_str()) != 0) return "korvath-engine failed";
    std::istringstream answers(GameFolder::readText(dir / "replayed.txt"));
    std::string last;
    for (std::string line; std::getline(answers, line);) {
        if (line.rfind("error", 0) == 0) return line;
        last = line;
    }
    return last;
}

std::string format(const Position& position) {
    return formatPosition(position, 0);
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
    generateMoves(position, HumanSide, Moves);
    int best = 0;
    int32_t bestValue = -SearchInfinity - 1;
    for (int i = 0; i < Moves.count; ++i) {
        Position after{};
        playMove(position, after, Moves.moves[i], HumanSide);
        const int32_t value = fastSearchRoot(after, ComputerSide, 2);
        if (value > bestValue) {
            bestValue = value;
            best = i;
        }
    }
    generateMoves(position, HumanSide, Moves); // the searches reused the generator
    const Move chosen = Moves.moves[best];
    Move played = chosen;
    for (int i = 0; i < Moves.count; ++i) {
        const Move& m = Moves.moves[i];
        if (m.piece == chosen.piece &&
            m.path[m.steps - 1].column == chosen.path[chosen.steps - 1].column &&
            m.path[m.steps - 1].row == chosen.path[chosen.steps - 1].row)
            played = m;
    }
    return played;
}

class WholeGame : public ::testing::Test {
  protected:
    ScreenPoint at(int column, int row) {
        return squareOnScreen(column, row, Columns, HumanSide, folder.width(), folder.height());
    }
    std::string press(ScreenPoint p) {
        return "mouse " + std::to_string(p.x) + " " + std::to_string(p.y) + "\ndown left\n";
    }

    GameFolder folder;
};

TEST_F(WholeGame, PlayedWithClicksToTheEnd) {
    selectRuleVariant(0);
    Position position{};
    setUpPosition(position);
    const std::string prologue = toFirstGameFrame();

    const Move first = chooseLosingMove(position);
    const Piece& firstPiece = pieceOf(position, HumanSide, first.piece);
    const std::string firstMove = clickAt(at(firstPiece.column, firstPiece.row)) +
                                  clickAt(at(first.path[0].column, first.path[0].row)) +
                                  "wait 30\n";
    ASSERT_NO_FATAL_FAILURE(positionAtPly2(folder, prologue + firstMove + "print\n", position));

    // From here on the computer searches, which the test can foresee exactly.
    std::string script = prologue + firstMove + "print\n";
    std::vector<Expected> expected{{format(position), HumanSide, 2}};
    int ply = 2;
    int chains = 0;
    int computerLost = 0;
    while (ply < MaxPlies && countPieces(position, HumanSide) > 0) {
        generateMoves(position, HumanSide, Moves);
        if (Moves.count == 0) break; // blocked with pieces: the game stalls
        const Move move = chooseLosingMove(position);
        const Piece& piece = pieceOf(position, HumanSide, move.piece);
        script += clickAt(at(piece.column, piece.row));
        script += press(at(move.path[move.steps - 1].column, move.path[move.steps - 1].row));
        script += "wait 1\nprint\nup left\n"; // the frame that takes the move
        expected.push_back({format(position), HumanSide, ply});
        chains += move.steps > 1;
        for (int k = 0; k < move.steps; ++k) {
            applyStep(position, move.piece, move.path[k], HumanSide);
            expected.push_back({format(position), HumanSide, ply});
        }
        expected.push_back({format(position), ComputerSide, ++ply}); // the turn passes
        if (countPieces(position, ComputerSide) == 0) computerLost = 1;
        int answerSteps = 0;
        if (!computerLost) {
            fastSearchRoot(position, ComputerSide, levelSearchDepth(0));
            const Move answer = bestMove[0];
            if (answer.piece == -1) break;                             // the computer is blocked
            expected.push_back({format(position), ComputerSide, ply}); // the search's frame
            chains += answer.steps > 1;
            for (int k = 0; k < answer.steps; ++k) {
                applyStep(position, answer.piece, answer.path[k], ComputerSide);
                expected.push_back({format(position), ComputerSide, ply});
            }
            expected.push_back({format(position), HumanSide, ++ply});
            answerSteps = answer.steps;
        }
        const int frames = move.steps + 1 + (computerLost ? 0 : answerSteps + 2);
        for (int f = 0; f < frames; ++f) script += "wait 1\nprint\n";
        if (computerLost) break;
    }
    ASSERT_TRUE(countPieces(position, HumanSide) == 0 || computerLost)
        << "the planned game did not end within " << MaxPlies << " plies";
    // Once a side has lost, the camera turns a little every frame.
    script += "wait 2\nsnap end0.png\nwait 1\nsnap end1.png\nkey F4\nwait 1\n";

    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), expected.size()) << run.out;
    for (size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(std::to_string(run.prints[i].toMove) + " " + std::to_string(run.prints[i].ply) +
                      " " + run.prints[i].position,
                  std::to_string(expected[i].toMove) + " " + std::to_string(expected[i].ply) + " " +
                      expected[i].position)
            << "print " << i;
    EXPECT_GT(chains, 0) << "no capture chain came up in this game";
    const std::string end0 = GameFolder::readText(folder.dir() / "end0.png");
    const std::string end1 = GameFolder::readText(folder.dir() / "end1.png");
    EXPECT_GT(end0.size(), UniformPictureBytes);
    EXPECT_NE(end0, end1);

    // F4: the record replays move by move to the same end, and names the winner.
    EXPECT_NE(run.out.find("game0.pdn"), std::string::npos) << run.out;
    PdnRecord record = parsePdn(GameFolder::readText(folder.dir() / "game0.pdn"));
    EXPECT_EQ(record.tags["GameType"], "21");
    EXPECT_EQ(record.tags["Black"], "Human"); // in checkers the first to move is Black
    EXPECT_EQ(record.tags["White"], "Korvath (BEGINNERS)");
    EXPECT_EQ(record.result, computerLost ? "0-1" : "1-0");
    EXPECT_EQ(record.tags["Result"], record.result);
    ASSERT_EQ(record.moves.size(), static_cast<size_t>(ply));
    EXPECT_TRUE(record.moves[0][0] >= 9 && record.moves[0][0] <= 12); // Black's front row
    EXPECT_EQ(replayThroughEngine(record, 0, folder.dir()), format(position));
}

// ---- Take back ----------------------------------------------------------------

class TakeBack : public ::testing::TestWithParam<int> {
  protected:
    // The human's move: the last listed one, which a click on its final square plays.
    Move humanMove(const Position& position) {
        generateMoves(position, HumanSide, Moves);
        return Moves.moves[Moves.count - 1];
    }
    std::string clicks(const Position& position, const Move& move) {
        const int columns = ruleVariants[GetParam()].columns;
        const Piece& piece = pieceOf(position, HumanSide, move.piece);
        const Square last = move.path[move.steps - 1];
        auto at = [&](int column, int row) {
            return squareOnScreen(column, row, columns, HumanSide, folder.width(), folder.height());
        };
        return clickAt(at(piece.column, piece.row)) + clickAt(at(last.column, last.row)) +
               "wait 30\n";
    }

    GameFolder folder;
};

TEST_P(TakeBack, RestoresEarlierTurnsAndTheComputerRepliesAsBefore) {
    const int variant = GetParam();
    std::string prologue = toFirstGameFrame();
    for (int i = 0; i < variant; ++i) // a first press only selects a piece
        prologue += clickAt({50, 130}) + clickAt({50, 130});
    selectRuleVariant(variant);
    Position start{};
    setUpPosition(start);
    const Move first = humanMove(start);
    prologue += clicks(start, first) + "print\n"; // ply 2, after a random opening reply

    Position ply2{};
    ASSERT_NO_FATAL_FAILURE(positionAtPly2(folder, prologue, ply2));
    // From the third ply on the computer searches, and the test foresees it.
    auto afterReply = [&](const Position& from, const Move& move) {
        Position after{}, replied{};
        playMove(from, after, move, HumanSide);
        fastSearchRoot(after, ComputerSide, levelSearchDepth(0));
        playMove(after, replied, bestMove[0], ComputerSide);
        return replied;
    };
    const Move second = humanMove(ply2);
    const Move third = humanMove(afterReply(ply2, second));
    const std::string back = "key BACKSPACE\nwait 1\nprint\n";
    std::string script = prologue;                                 // 0: ply 2
    script += clicks(ply2, second) + "print\n";                    // 1: ply 4
    script += clicks(afterReply(ply2, second), third) + "print\n"; // 2: ply 6
    script += back + back;                                         // 3: ply 4, 4: ply 2
    script += clicks(ply2, second) + "print\n";                    // 5: ply 4 again
    script += "key F4\nwait 1\n";
    script += "key BACKSPACE\nwait 1\n" + back; // 6: the first position
    script += back;                             // 7: nothing left to take back

    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), 8u) << run.out;
    const std::vector<PrintLine>& p = run.prints;
    EXPECT_EQ(p[1].ply, 4);
    EXPECT_EQ(p[2].ply, 6);
    EXPECT_EQ(state(p[3]), state(p[1]));
    EXPECT_EQ(state(p[4]), state(p[0]));
    EXPECT_EQ(state(p[5]), state(p[1])); // the same search, the same reply
    EXPECT_EQ(state(p[6]),
              std::to_string(variant) + " 0 0 0 0 -1 " + formatPosition(start, variant));
    EXPECT_EQ(state(p[7]), state(p[6]));

    // The record written at ply 4 replays through the engine to that position.
    PdnRecord record = parsePdn(GameFolder::readText(folder.dir() / "game0.pdn"));
    EXPECT_EQ(record.tags["GameType"], variant == 0 ? "21" : "20");
    EXPECT_EQ(record.tags["Variant"], ruleVariants[variant].label);
    EXPECT_EQ(record.result, "*");
    ASSERT_EQ(record.moves.size(), 4u);
    // The first mover's front row: Black's 9-12 on 8x8, White's 31-35 on 10x10.
    const int front = variant == 0 ? 9 : 31;
    EXPECT_TRUE(record.moves[0][0] >= front && record.moves[0][0] < front + 4 + (variant != 0));
    EXPECT_EQ(replayThroughEngine(record, variant, folder.dir()), p[5].position);
}

INSTANTIATE_TEST_SUITE_P(EveryRuleSet, TakeBack, ::testing::Values(0, 1, 2));

} // namespace
