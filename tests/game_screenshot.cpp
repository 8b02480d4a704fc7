// Screenshot files: size, byte order and the shift-only colour expansion, and
// what happens when the file cannot be written.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

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

    std::vector<uint8_t> readFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    fs::path directory;
};

TEST_F(Screenshot, HoldsRowsTopDownAsShiftedRgb) {
    openScreen(640, 480);
    fillSurface(DDrawSurfaceBack, 0x0000);
    putPixel(0, 0, 0xFFFF);
    putPixel(639, 0, 0x1234);
    putPixel(0, 479, 0xF800);
    putPixel(5, 7, 0x07E0);
    const fs::path file = directory / "page0.raw";
    ASSERT_EQ(saveScreenshot(file.c_str()), 0);
    const std::vector<uint8_t> bytes = readFile(file);
    ASSERT_EQ(bytes.size(), 921600u);
    auto rgbAt = [&](int x, int y) {
        const size_t at = (static_cast<size_t>(y) * 640 + x) * 3;
        return std::vector<int>{bytes[at], bytes[at + 1], bytes[at + 2]};
    };
    EXPECT_EQ(rgbAt(0, 0), (std::vector<int>{0xF8, 0xFC, 0xF8})); // low bits stay 0
    EXPECT_EQ(rgbAt(639, 0), (std::vector<int>{0x10, 0x44, 0xA0}));
    EXPECT_EQ(rgbAt(0, 479), (std::vector<int>{0xF8, 0x00, 0x00}));
    EXPECT_EQ(rgbAt(5, 7), (std::vector<int>{0x00, 0xFC, 0x00}));
    EXPECT_EQ(rgbAt(1, 0), (std::vector<int>{0, 0, 0}));
}

TEST_F(Screenshot, A555ScreenIsStillReadAs565) {
    openScreen(320, 200, true);
    fillSurface(DDrawSurfaceBack, 0x7FFF); // white on 5-5-5
    const fs::path file = directory / "page1.raw";
    ASSERT_EQ(saveScreenshot(file.c_str()), 0);
    const std::vector<uint8_t> bytes = readFile(file);
    ASSERT_EQ(bytes.size(), 320u * 200u * 3u);
    EXPECT_EQ(bytes[0], 0x78);
    EXPECT_EQ(bytes[1], 0xFC);
    EXPECT_EQ(bytes[2], 0xF8);
}

TEST_F(Screenshot, UnwritableFileFailsWithoutLeavingAnything) {
    openScreen(64, 48);
    const fs::path missing = directory / "no-such-folder" / "page0.raw";
    errno = 0;
    EXPECT_EQ(saveScreenshot(missing.c_str()), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(fs::exists(missing));

    if (::geteuid() != 0) { // root writes into read-only folders
        fs::permissions(directory, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(saveScreenshot((directory / "page1.raw").c_str()), -1);
        EXPECT_FALSE(fs::exists(directory / "page1.raw"));
    }
}

TEST_F(Screenshot, AShortWriteLeavesNoBrokenFile) {
    openScreen(64, 48);
    // A file-size limit makes the write stop short, as a full disk would.
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const fs::path file = directory / "page0.raw";
    errno = 0;
    const int result = saveScreenshot(file.c_str());
    const int error = errno;
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error, EFBIG);
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
