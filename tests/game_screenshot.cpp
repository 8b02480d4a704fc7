// Screenshot files: size, byte order and the shift-only colour expansion, the
// numbering that never replaces a file, and what happens when the file cannot
// be written.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "game/screenshot.h"
#include "platform/platform.h"
#include "render/screen.h"
#include "scene/cursor.h"
#include "tests/headless_screen.h"

namespace {

namespace fs = std::filesystem;

class Screenshot : public ::testing::Test {
  protected:
    void SetUp() override {
        directory = fs::temp_directory_path() /
                    ("korvath-screenshot-" + std::to_string(::getpid()) + "-" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(directory);
    }
    void TearDown() override {
        videoStop();
        DDrawSurfaceBack = nullptr;
        fs::remove_all(directory);
    }
    // Saves with the pattern "page%d.raw" in the given folder, keeping errno.
    int save(int* counter, const fs::path& folder) {
        const std::string pattern = (folder / "page%d.raw").string();
        errno = 0;
        const int result = saveScreenshot(pattern.c_str(), counter, name, sizeof name);
        error = errno;
        return result;
    }

    fs::path directory;
    char name[4096]; // the last file named
    int error = 0;   // errno after the last save
};

// Rows top down, each pixel read as 5-6-5, even a 5-5-5 screen's, and shifted into
// RGB with the low bits 0 (which the reference frames cannot see). The PNG beside
// holds the same pixels; a 5-6-5 screen's F3 pictures are reference frames.
TEST_F(Screenshot, HoldsRowsTopDownAsShiftedRgb) {
    const struct {
        int x, y;
        uint16_t pixel;
        std::vector<uint8_t> rgb;
    } pixels[] = {{639, 0, 0x1234, {0x10, 0x44, 0xA0}},
                  {0, 479, 0xF800, {0xF8, 0x00, 0x00}},
                  {5, 7, 0x07E0, {0x00, 0xFC, 0x00}},
                  {1, 2, 0x7FFF, {0x78, 0xFC, 0xF8}}};
    std::vector<uint8_t> expected(640 * 480 * 3);
    for (const auto& p : pixels)
        std::copy(p.rgb.begin(), p.rgb.end(), expected.begin() + (p.y * 640 + p.x) * 3);
    int counter = 0;
    ASSERT_TRUE(openHeadlessScreen(640, 480, true));
    fillSurface(DDrawSurfaceBack, 0x0000);
    LockedSurface back;
    ASSERT_EQ(lockBackBuffer(&back), PLATFORM_OK);
    for (const auto& p : pixels) back.memory[p.y * (back.pitch / 2) + p.x] = p.pixel;
    unlockSurface(DDrawSurfaceBack);
    ASSERT_EQ(save(&counter, directory), 0);
    std::ifstream in(name, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    EXPECT_TRUE(bytes == expected) << bytes.size() << " bytes"; // too long to print
    std::vector<uint8_t> png;
    int width = 0, height = 0;
    ASSERT_TRUE(readPngRgb(screenshotPngName(name).c_str(), &png, &width, &height));
    EXPECT_TRUE(png == expected && width == 640 && height == 480);
}

// An earlier run's picture, a pipe (opening it for writing would wait for a
// reader for ever) and a link are all passed over, never opened or replaced.
// A file that cannot be made, or whose write stops short as on a full disk,
// fails with its errno and leaves nothing.
TEST_F(Screenshot, TakesTheFirstFreeNumberReplacesNothingAndFailsCleanly) {
    ASSERT_TRUE(openHeadlessScreen(64, 48));
    std::ofstream(directory / "page0.raw") << "an earlier run's picture";
    ASSERT_EQ(::mkfifo((directory / "page1.raw").c_str(), 0644), 0);
    fs::create_symlink(directory / "elsewhere.raw", directory / "page2.raw");
    int counter = 0;
    ASSERT_EQ(save(&counter, directory), 0);
    EXPECT_EQ(counter, 4);
    EXPECT_EQ(fs::file_size(directory / "page3.raw"), 64u * 48u * 3u);
    EXPECT_EQ(fs::file_size(directory / "page0.raw"), 24u);
    EXPECT_TRUE(fs::is_fifo(directory / "page1.raw"));
    EXPECT_FALSE(fs::exists(directory / "elsewhere.raw"));

    EXPECT_EQ(save(&counter, directory / "no-such-folder"), -1);
    EXPECT_EQ(std::pair(error, counter), std::pair(ENOENT, 4));
    EXPECT_EQ(name, (directory / "no-such-folder" / "page4.raw").string());

    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit small { 1000, saved.rlim_max };
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int result = save(&counter, directory);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(std::pair(result, error), std::pair(-1, EFBIG));
    EXPECT_FALSE(fs::exists(directory / "page4.raw"));
    // A number whose PNG is taken is passed over whole.
    fs::create_directory(directory / "page4.png");
    ASSERT_EQ(save(&counter, directory), 0);
    EXPECT_EQ(std::vector({fs::exists(directory / "page3.png"), fs::exists(directory / "page4.raw"),
                           fs::exists(directory / "page5.png")}),
              std::vector({true, false, true}));
}

} // namespace
