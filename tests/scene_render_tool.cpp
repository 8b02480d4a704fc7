// korvath-render from the outside: usage and exit code 2 on bad arguments,
// a named failure without pictures, and a real picture with them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string Tool = std::string(KORVATH_BIN_DIR) + "/korvath-render";
const std::string Start8 = "0 1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7 "
                           "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2";

struct ToolRun {
    int exitCode;
    std::string err;
};

// Runs the tool in `folder` with the arguments, capturing standard error.
ToolRun runTool(const fs::path& folder, const std::string& arguments) {
    const fs::path errFile =
        fs::temp_directory_path() / ("korvath-render-err-" + std::to_string(::getpid()) + ".txt");
    const std::string command = "cd '" + folder.string() + "' && '" + Tool + "' " + arguments +
                                " > /dev/null 2> '" + errFile.string() + "'";
    const int status = std::system(command.c_str());
    std::ifstream in(errFile);
    const std::string err{std::istreambuf_iterator<char>(in), {}};
    fs::remove(errFile);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
}

TEST(RenderToolTest, BadArgumentsGetTheUsageAndCode2) {
    const std::string bad[] = {
        "",
        "800 600 0 -50 0 out.png 0",                       // too few
        "801 600 0 -50 0 /tmp/x.png " + Start8,            // unknown size
        "800 600 zero -50 0 /tmp/x.png " + Start8,         // not a number
        "800 600 0 -10 0 /tmp/x.png " + Start8,            // elevation out of range
        "800 600 0 -50 0 /tmp/x.png 3 1.5 0.0",            // no such rule set
        "800 600 0 -50 0 /tmp/x.png 0 1.5,1.5 0.0",        // wrong piece count
        "--backdrop 800 600 0 -50 0 /tmp/x.png " + Start8, // unknown option
    };
    for (const std::string& arguments : bad) {
        const ToolRun run = runTool(KORVATH_DATA_DIR, arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_NE(run.err.find("usage: korvath-render"), std::string::npos) << arguments;
    }
}

TEST(RenderToolTest, MissingPicturesAreNamed) {
    const fs::path empty =
        fs::temp_directory_path() / ("korvath-render-empty-" + std::to_string(::getpid()));
    fs::create_directories(empty);
    const ToolRun run = runTool(empty, "640 480 0 -50 0 out.png " + Start8);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("DATAS/DBLANC.RAW"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(empty / "out.png"));
    fs::remove_all(empty);
}

TEST(RenderToolTest, DrawsTheBoardIntoAPng) {
    const fs::path out =
        fs::temp_directory_path() / ("korvath-render-" + std::to_string(::getpid()) + ".png");
    const ToolRun run =
        runTool(KORVATH_DATA_DIR, "640 480 0 -50 0 '" + out.string() + "' " + Start8);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_TRUE(fs::exists(out));
    // A black or nearly empty frame compresses to a few kilobytes; the
    // board, its pieces and the sky do not.
    EXPECT_GT(fs::file_size(out), 60000u);
    fs::remove(out);
}

} // namespace
