// A whole game against the computer through korvath-headless, played with
// clicks at the squares' projected positions and checked frame by frame: the
// human's move and the computer's answer unfold one path step per frame, the
// turn passes in the frame after the last step, and once a side has lost the
// camera turns around the board.
#include "app_headless_support.h"

#include "rules/fast_search.h"

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

std::string format(const Position& position) {
    return formatPosition(position, 0);
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
    const std::string prologue = "wait " + std::to_string(PassesToFirstGameFrame - 1) + "\n";

    // The computer's first answer is a random opening step drawn from the
    // frame count: a first run finds it out.
    const Move first = chooseLosingMove(position);
    const Piece& firstPiece = pieceOf(position, HumanSide, first.piece);
    const std::string firstMove = clickAt(at(firstPiece.column, firstPiece.row)) +
                                  clickAt(at(first.path[0].column, first.path[0].row)) +
                                  "wait 30\n";
    const RunResult opening = folder.run(prologue + firstMove + "print\n");
    ASSERT_EQ(opening.exitCode, 0) << opening.err;
    ASSERT_EQ(opening.prints.size(), 1u);
    ASSERT_EQ(opening.prints[0].ply, 2);
    int32_t variant = 0;
    ASSERT_EQ(parsePosition(opening.prints[0].position, position, variant), "");

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
    script += "wait 2\nsnap end0.png\nwait 1\nsnap end1.png\n";

    const RunResult run = folder.run(script);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.prints.size(), expected.size()) << run.out;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(run.prints[i].position, expected[i].position) << "print " << i;
        ASSERT_EQ(run.prints[i].toMove, expected[i].toMove) << "print " << i;
        ASSERT_EQ(run.prints[i].ply, expected[i].ply) << "print " << i;
    }
    EXPECT_GT(chains, 0) << "no capture chain came up in this game";
    const std::string end0 = GameFolder::readText(folder.dir() / "end0.png");
    const std::string end1 = GameFolder::readText(folder.dir() / "end1.png");
    EXPECT_GT(end0.size(), UniformPictureBytes);
    EXPECT_NE(end0, end1);
}

} // namespace
