// Screenshot files: size, byte order and the shift-only colour expansion, the
// numbering that never replaces a file, and what happens when the file cannot
// be written.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
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
        fs::permissions(directory, fs::perms::owner_all);
        fs::remove_all(directory);
    }

    void openScreen(int width, int height, bool format555 = false) {
        ASSERT_TRUE(openHeadlessScreen(width, height, format555));
    }

    void putPixel(int x, int y, uint16_t value) {
        LockedSurface back;
        ASSERT_EQ(lockBackBuffer(&back), PLATFORM_OK);
        back.memory[y * (back.pitch / 2) + x] = value;
        unlockSurface(DDrawSurfaceBack);
    }

    // Saves with the pattern "page%d.raw" in the test's folder.
    int save(int* counter) {
        const std::string pattern = (directory / "page%d.raw").string();
        char name[4096];
        return saveScreenshot(pattern.c_str(), counter, name, sizeof name);
    }

    std::vector<uint8_t> readFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path directory;
};

// Rows top down, each 5-6-5 pixel shifted into RGB with the low bits 0; a 5-5-5
// screen's pixel is still read as 5-6-5.
TEST_F(Screenshot, HoldsRowsTopDownAsShiftedRgb) {
    const struct {
        bool format555;
        int x, y;
        uint16_t pixel;
        std::vector<uint8_t> rgb;
    } cases[] = {{false, 639, 0, 0x1234, {0x10, 0x44, 0xA0}},
                 {false, 0, 479, 0xF800, {0xF8, 0x00, 0x00}},
                 {false, 5, 7, 0x07E0, {0x00, 0xFC, 0x00}},
                 {true, 1, 2, 0x7FFF, {0x78, 0xFC, 0xF8}}};
    for (const auto& c : cases) {
        openScreen(640, 480, c.format555);
        fillSurface(DDrawSurfaceBack, 0x0000);
        putPixel(c.x, c.y, c.pixel);
        int counter = 0;
        ASSERT_EQ(save(&counter), 0);
        EXPECT_EQ(counter, 1);
        const std::vector<uint8_t> bytes = readFile(directory / "page0.raw");
        fs::remove(directory / "page0.raw");
        ASSERT_EQ(bytes.size(), 921600u);
        const size_t at = (static_cast<size_t>(c.y) * 640 + c.x) * 3;
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + 3), c.rgb);
        EXPECT_EQ(bytes[at + 3] | bytes[at + 4] | bytes[at + 5], 0);
        videoStop();
    }
}

TEST_F(Screenshot, UnwritableFileFailsWithoutLeavingAnything) {
    openScreen(64, 48);
    const std::string missing = (directory / "no-such-folder" / "page%d.raw").string();
    char name[4096];
    int counter = 0;
    errno = 0;
    EXPECT_EQ(saveScreenshot(missing.c_str(), &counter, name, sizeof name), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(counter, 0);
    EXPECT_EQ(name, (directory / "no-such-folder" / "page0.raw").string());
}

// An earlier run's picture, a pipe (opening it for writing would wait for a
// reader for ever) and a link are all passed over, never opened or replaced.
TEST_F(Screenshot, TakesTheFirstFreeNumberAndReplacesNothing) {
    openScreen(64, 48);
    std::ofstream(directory / "page0.raw") << "an earlier run's picture";
    ASSERT_EQ(::mkfifo((directory / "page1.raw").c_str(), 0644), 0);
    fs::create_symlink(directory / "elsewhere.raw", directory / "page2.raw");
    int counter = 0;
    ASSERT_EQ(save(&counter), 0);
    EXPECT_EQ(counter, 4);
    EXPECT_EQ(fs::file_size(directory / "page3.raw"), 64u * 48u * 3u);
    EXPECT_EQ(fs::file_size(directory / "page0.raw"), 24u);
    EXPECT_TRUE(fs::is_fifo(directory / "page1.raw"));
    EXPECT_FALSE(fs::exists(directory / "elsewhere.raw"));

    // A file-size limit makes the write stop short, as a full disk would: the
    // cut-off file goes.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    errno = 0;
    const int result = save(&counter);
    const int error = errno;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(fs::exists(directory / "page4.raw"));
}

} // namespace
