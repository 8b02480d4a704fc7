// korvath-engine from the outside: scripts piped through the built program, answers compared
// line by line, and garbage that must be refused without a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

// Runs the engine on the script and returns its answer lines; exitCode gets its status.
std::vector<std::string> runEngine(const std::string& script, int* exitCode = nullptr) {
    // Named after the test: ctest runs the cases of this file side by side.
    const std::string stem = testing::TempDir() + "engine_" +
                             testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string input = stem + "_input.txt", output = stem + "_output.txt";
    std::ofstream(input, std::ios::binary) << script;
    const std::string command =
        std::string(KORVATH_BIN_DIR) + "/korvath-engine < " + input + " > " + output;
    const int status = std::system(command.c_str());
    if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream in(output, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

const std::string UsStart = "0 1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7 "
                            "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2";

TEST(Engine, AnswersEachCommandWithOneLine) {
    int exitCode = -1;
    const std::string one = "3.3,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x\n";
    const std::vector<std::string> lines =
        runEngine("# a comment\n\nshow\nmoves 0\neval 1\nrand\nnew 0\nplay 0 0:0.4\nset 0 " + one +
                      "moves 0\nsearch 0 3\neval 0\nperft 0 0\nperft 1 3\nset 0 x" + one.substr(3) +
                      "search 0 5\nselfplay 1 0 0\nshow\nquit\nshow\n",
                  &exitCode);
    const std::string f1 =
        "1 0.6,2.6,4.6,6.6,8.6,1.7,3.7,5.7,7.7,9.7,0.8,2.8,4.8,6.8,8.8,1.9,3.9,5.9,"
        "7.9,9.9 0.0,2.0,4.0,6.0,8.0,1.1,3.1,5.1,7.1,9.1,0.2,2.2,4.2,6.2,8.2,1.3,"
        "3.3,5.3,7.3,9.3";
    std::string answers;
    for (const std::string& line : lines) answers += line + "|";
    EXPECT_EQ(answers, UsStart + "|7 0:2.4 0:0.4 1:4.4 1:2.4 2:6.4 2:4.4 3:6.4|0|41|" + UsStart +
                           "|0 0.4," + UsStart.substr(6) +
                           "|ok|1 0:1.1|166665 0:1.1|22|1|0|ok|-333330 none|end|" + f1 + "|");
    EXPECT_EQ(exitCode, 0);
}

TEST(Engine, SelfPlayOpensAtRandomThenSearches) {
    const std::vector<std::string> lines = runEngine("rand\nselfplay 0 0 4\nshow\n");
    ASSERT_EQ(lines.size(), 3u);
    // 18467 picks piece 2, 6334 (<= 16000) sends it right; side 1's first pick (26500, 19169)
    // would stop in front of it, the second (15724, 11478) is quiet. Four moves, then "end".
    EXPECT_EQ(lines[1].substr(0, 12), "2:6.4 9:3.3 ");
    EXPECT_EQ(std::count(lines[1].begin(), lines[1].end(), ' '), 4) << lines[1];
    EXPECT_EQ(lines[1].substr(lines[1].size() - 4), " end");
}

TEST(Engine, RefusesBadInputAndKeepsItsPosition) {
    const std::vector<std::string> lines = runEngine(
        "set 0 3.3,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x\nbogus\nmoves\nmoves 2\n"
        "moves 0 1\neval -1\nsearch 0 0\nsearch 0 21\nperft 0 x\nplay 0 0:5.1\n"
        "play 0 0:1.1-3.3\nplay 0 zz\nnew 3\nset 0 1.1\n"
        "set 0 9.9,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x\nselfplay 0 2 10\n"
        "opening 1\nselfplay 0 0 10001\n  # an indented comment: no answer\nquit 5\nshow\n");
    ASSERT_EQ(lines.size(), 20u);
    for (size_t i = 1; i + 1 < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind("error: ", 0), 0u) << i << ": " << lines[i];
    EXPECT_EQ(lines.back(), "0 3.3,x,x,x,x,x,x,x,x,x,x,x 2.2,x,x,x,x,x,x,x,x,x,x,x");
}

TEST(Engine, SurvivesGarbage) {
    std::mt19937 random(3);
    const std::string alphabet = "0123456789.,:-xK \tnewsetplaymovesperftsearch\r";
    std::string script;
    int32_t lines = 0;
    for (int32_t i = 0; i < 400; ++i) {
        std::string line;
        const int32_t length = 1 + random() % 40;
        for (int32_t k = 0; k < length; ++k) line += alphabet[random() % alphabet.size()];
        if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
        // Keep each line to one command word the engine knows, so every line is answered.
        static const char* const words[] = {"set ", "play 0 ", "moves ", "new ", "eval "};
        script += words[i % 5] + line + "\n";
        ++lines;
    }
    int exitCode = -1;
    const std::vector<std::string> answers = runEngine(script + "show\n", &exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(static_cast<int32_t>(answers.size()), lines + 1);
}

} // namespace
