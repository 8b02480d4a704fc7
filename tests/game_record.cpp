// The game's record and its saved game: whole games written as PDN read back to the same
// moves (also in the shortened forms other programs write), saves that come back whole or
// not at all, and the files behind them replaced safely and set aside without loss.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <regex>
#include <sstream>

#include "game/autosave.h"
#include "rules/notation.h"

namespace {

namespace fs = std::filesystem;

// A game of random legal moves from the start to its end (or maxPlies): long captures,
// crowning and kings' chains come up in every rule set.
std::vector<PlayedMove> randomGame(int32_t variant, uint32_t seed, Position& final,
                                   int maxPlies = 300) {
    selectRuleVariant(variant);
    std::mt19937 random(seed);
    static MoveList list;
    std::vector<PlayedMove> moves;
    Position position{};
    setUpPosition(position);
    for (int ply = 0; ply < maxPlies; ++ply) {
        const int side = ply % 2;
        generateMoves(position, side, list);
        if (list.count == 0) break;
        const Move move = list.moves[random() % list.count];
        moves.push_back({position, side, ply, move});
        const Position before = position;
        playMove(before, position, move, side);
    }
    final = position;
    return moves;
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Captures cut to their ends ("9x18x27" as "9x27"), a comment and a number before every move.
std::string shortened(const std::string& pdn) {
    std::string text = std::regex_replace(pdn, std::regex(R"((\d+)(x\d+)*(x\d+)\b)"), "$1$3");
    text = std::regex_replace(text, std::regex(R"(\d+\.\.?\.? )"), "");
    int ply = 0;
    std::string out;
    std::istringstream words(text.substr(text.find("\n\n")));
    for (std::string word; words >> word; ++ply)
        out += "{c} " + std::to_string(ply / 2 + 1) + (ply % 2 ? "... " : ". ") + word + "\n";
    return text.substr(0, text.find("\n\n")) + "\n\n" + out;
}

TEST(Record, WholeGamesReadBackInEveryRuleSetAlsoWithShortenedCaptures) {
    int shortenedGames = 0, captures = 0;
    for (const int32_t variant : {0, 1, 2}) {
        for (uint32_t seed = 1; seed <= 6; ++seed) {
            Position final{};
            const std::vector<PlayedMove> moves = randomGame(variant, seed, final);
            const std::string text =
                formatPdn(moves, {{"A", "B"}, "2026.12.07", GameResult::Ongoing, ""});
            selectRuleVariant(0);
            PdnGame game;
            ASSERT_EQ(readPdnGame(text, game), "") << text;
            ASSERT_EQ(game.variant, variant);
            ASSERT_EQ(formatPosition(game.final, variant), formatPosition(final, variant)) << text;
            ASSERT_EQ(game.moves.size(), moves.size());
            for (const PlayedMove& played : moves) captures += played.move.steps > 1;
            // Where an end-only capture names two moves, the error says so; else the same game.
            const std::string what = readPdnGame(shortened(text), game);
            if (!what.empty()) {
                EXPECT_NE(what.find("could be"), std::string::npos) << what;
                continue;
            }
            ++shortenedGames;
            EXPECT_EQ(formatPosition(game.final, variant), formatPosition(final, variant));
        }
    }
    EXPECT_GT(shortenedGames, 12);
    EXPECT_GT(captures, 20);
}

// Every cut of a save short of its last line is refused, as are wrong tags and moves; a
// refused save leaves the rule set alone.
TEST(SavedGame, ComesBackWholeOrNotAtAll) {
    SavedGame game{2, 1, 1, {204, -77, 12}, {}, 0, {}, {}, "*"};
    game.moves = randomGame(2, 7, game.position, 41);
    game.start = {game.moves[0].before, 2, 0};
    // A game from a set position: side 1 to move first, eleven moves counted before.
    SavedGame setUp = game;
    setUp.moves.erase(setUp.moves.begin(), setUp.moves.begin() + 11);
    setUp.start = {setUp.moves[0].before, 2, 1};
    setUp.startPly = 11;
    std::string text;
    SavedGame back{};
    for (const SavedGame* saved : {&setUp, &game}) {
        const std::string plies = std::to_string(saved->moves.size());
        const RecordTags tags = {
            {"A", "B"}, "2026.12.07", GameResult::Ongoing, "[PlyCount \"" + plies + "\"]\n"};
        selectRuleVariant(2);
        text = formatSavedGame(*saved, tags);
        selectRuleVariant(0);
        ASSERT_EQ(parseSavedGame(text, back), "") << text;
        // The record's text is written from every move's position, side and number.
        EXPECT_EQ(formatSavedGame(back, tags), text);
        EXPECT_EQ(formatPosition(back.position, 2), formatPosition(game.position, 2));
        EXPECT_EQ(back.result, "*");
    }

    const size_t lastWord = text.find_last_not_of("\n *") + 1;
    for (size_t cut = 0; cut < lastWord; ++cut) {
        selectRuleVariant(0);
        ASSERT_NE(parseSavedGame(text.substr(0, cut), back), "") << cut;
        ASSERT_EQ(ruleVariant, 0);
    }
    const std::pair<std::string, std::string> edits[] = {
        {"\"BLACKS\"", "\"GREENS\""},           {"\"EXPERT\"", "\"\""},
        {"[Camera \"204 -77 12\"]", ""},        {"PlyCount \"41", "PlyCount \"40"},
        {"[Result \"*\"]", "[Result \"2-0\"]"}, {"\n1. ", "\n1. 1-6 "}};
    for (const auto& [from, to] : edits) {
        std::string edited = text;
        ASSERT_NE(edited.find(from), std::string::npos) << from;
        edited.replace(edited.find(from), from.size(), to);
        EXPECT_NE(parseSavedGame(edited, back), "") << to;
    }
}

class SaveFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("korvath-save-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
        name = (folder / "save.pdn").string();
    }
    void TearDown() override { fs::remove_all(folder); }
    std::vector<std::string> listed() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string() + "=" + readText(entry.path()));
        std::sort(names.begin(), names.end());
        return names;
    }
    fs::path folder;
    std::string name;
};

// A write that fails (here a file-size limit, as on a full disk) leaves the old save as it
// was and no temporary file behind.
TEST_F(SaveFiles, AReplacementIsWholeOrLeavesTheOldFile) {
    ASSERT_EQ(replaceFileSafely(name.c_str(), "first"), 0);
    ASSERT_EQ(replaceFileSafely(name.c_str(), "second"), 0);
    EXPECT_EQ(listed(), std::vector<std::string>{"save.pdn=second"});
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    errno = 0;
    const int result = replaceFileSafely(name.c_str(), std::string(10000, 'x'));
    const int error = errno;
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(listed(), std::vector<std::string>{"save.pdn=second"});
    EXPECT_EQ(replaceFileSafely((folder / "no" / "such").c_str(), "x"), -1);
}

TEST_F(SaveFiles, SetAsideTakesTheFirstFreeNumberAndReplacesNothing) {
    std::ofstream(folder / "bad0.pdn") << "older";
    const std::string pattern = (folder / "bad%d.pdn").string();
    char aside[4096];
    for (const char* text : {"one", "two"}) {
        std::ofstream(name) << text;
        ASSERT_EQ(moveFileAside(name.c_str(), pattern.c_str(), aside, sizeof aside), 0);
    }
    EXPECT_EQ(fs::path(aside).filename(), "bad2.pdn");
    EXPECT_EQ(listed(),
              (std::vector<std::string>{"bad0.pdn=older", "bad1.pdn=one", "bad2.pdn=two"}));
    errno = 0;
    EXPECT_EQ(moveFileAside(name.c_str(), pattern.c_str(), aside, sizeof aside), -1);
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
