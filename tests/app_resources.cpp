// Resource loading on the headless display: picture files read and expanded,
// missing and short files named in the failure, textures scaled to the
// device's limits, the button picture in the screen's format, the shadow
// textures, and a surface loss that rebuilds everything without leaking.
#include "app/resources.h"

#include "app/display.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "render/textures.h"
#include "scene/input.h"
#include "scene/scene.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A pattern whose texel at (x, y) tells where it came from.
uint16_t patternPixel(int x, int y) {
    return static_cast<uint16_t>((x & 31) | (y & 63) << 5);
}

void writePicture(const fs::path& path, size_t bytes, uint16_t (*pixel)(int, int) = patternPixel) {
    std::vector<char> data(bytes);
    for (size_t i = 0; i + 1 < bytes; i += 2) {
        const uint16_t p = pixel(static_cast<int>(i / 2 % 256), static_cast<int>(i / 512));
        data[i] = static_cast<char>(p & 0xFF);
        data[i + 1] = static_cast<char>(p >> 8);
    }
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(bytes));
}

class ResourcesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        previous = fs::current_path();
        folder = fs::temp_directory_path() / ("korvath-resources-" + std::to_string(::getpid()));
        fs::create_directories(folder / "DATAS");
        for (const char* name :
             {"DBLANC.RAW", "DNOIR.RAW", "PION0.RAW", "PION1.RAW", "BOUTON.RAW", "FOND.RAW"})
            writePicture(folder / "DATAS" / name, PictureFileBytes);
        fs::current_path(folder);
    }
    void TearDown() override {
        closeDisplay();
        fs::current_path(previous);
        fs::remove_all(folder);
    }
    void closeDisplay() {
        if (!displayOpen) return;
        releaseDisplay();
        for (Surface** s : {&Backtemp, &Zbuffer}) releaseSurface(std::exchange(*s, nullptr));
        releaseDevice();
        videoStop();
        displayOpen = false;
    }
    void openDisplay(int maxTextureWidth = 2048, bool format555 = false) {
        closeDisplay();
        selectBackend(Backend::Headless,
                      {.format555 = format555, .maxTextureWidth = maxTextureWidth});
        ScreenWidth = 640, ScreenHeight = 480;
        WindowedMode = UseHardware = 1;
        TextureSize = 256;
        ShadowTextureSize = 128;
        ASSERT_EQ(initDisplay(), nullptr);
        displayOpen = true;
        clearTextureTable();
    }
    static std::vector<uint16_t> texels(Surface* surface) {
        LockedSurface locked{};
        EXPECT_EQ(lockSurface(surface, &locked), PLATFORM_OK);
        std::vector<uint16_t> out;
        for (int y = 0; y < surfaceHeight(surface); ++y)
            for (int x = 0; x < surfaceWidth(surface); ++x)
                out.push_back(locked.memory[y * (locked.pitch / 2) + x]);
        unlockSurface(surface);
        return out;
    }

    fs::path previous, folder;
    bool displayOpen = false;
};

// The low bits stay empty; the game's own names work whatever the case on disk.
TEST_F(ResourcesTest, PicturesExpandWithoutFillingTheLowBits) {
    writePicture("DATAS/X.RAW", PictureFileBytes, [](int x, int) -> uint16_t {
        return x == 0 ? 0xFFFF : x == 1 ? 0xF800 : x == 2 ? 0x07E0 : 0x0000;
    });
    static RgbPicture picture;
    ASSERT_EQ(loadImage565("datas/x.raw", picture), nullptr);
    const std::vector<uint8_t> expected{248, 252, 248, 248, 0, 0, 0, 252, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(picture.rgb, picture.rgb + 12), expected);
}

// Each picture file in turn damaged: missing, unreadable, or any size short
// of 131072 bytes (one byte short, half, empty) fails the load by name.
TEST_F(ResourcesTest, MissingAndShortPicturesAreNamedInTheFailure) {
    openDisplay();
    // Bytes -1: missing; -2: a folder (named pipes: tests/app_headless.cpp).
    const std::tuple<const char*, long, const char*> cases[] = {
        {"DATAS/FOND.RAW", -1, "DATAS/FOND.RAW is missing"},
        {"DATAS/DNOIR.RAW", -2, "DATAS/DNOIR.RAW cannot be opened: Is a directory"},
        {"DATAS/DNOIR.RAW", PictureFileBytes - 1,
         "DATAS/DNOIR.RAW is too short (131071 of 131072 bytes)"},
        {"DATAS/BOUTON.RAW", PictureFileBytes / 2,
         "DATAS/BOUTON.RAW is too short (65536 of 131072 bytes)"},
        {"DATAS/PION0.RAW", 0, "DATAS/PION0.RAW is too short (0 of 131072 bytes)"},
    };
    for (const auto& [name, bytes, failure] : cases) {
        fs::remove(name);
        if (bytes == -2) fs::create_directory(name);
        if (bytes >= 0) writePicture(name, static_cast<size_t>(bytes));
        EXPECT_STREQ(loadResources(), failure);
        fs::remove(name);
        writePicture(name, PictureFileBytes);
    }
    EXPECT_EQ(loadResources(), nullptr);
}

// Texel (x, y) of a texture of side n is picture pixel (x * 256 / n, y * 256 / n);
// n is the setting's low 16 bits, at most the device's largest texture, and
// 256 where the device states no limit. The shadow textures and their staging
// surface follow the same rule, fully transparent; a side of 0 is reported.
TEST_F(ResourcesTest, TexturesAreScaledToTheSettingAndTheDeviceLimit) {
    // Device limit, setting, side.
    const int cases[][3] = {
        {256, 128, 128}, {1024, 4096, 1024}, {2048, -65536 + 64, 64}, {0, 512, 256}};
    for (const auto& [deviceLimit, setting, side] : cases) {
        openDisplay(deviceLimit);
        TextureSize = setting;
        ASSERT_EQ(loadTexture("DATAS/DBLANC.RAW", 7), nullptr);
        std::vector<uint16_t> expected;
        for (int i = 0; i < side * side; ++i)
            expected.push_back(patternPixel(i % side * 256 / side, i / side * 256 / side));
        EXPECT_EQ(texels(TextureTable[7]), expected) << setting;
        for (int index : {0, 1}) ASSERT_GE(createShadowTextures(setting, index), 0);
        EXPECT_EQ(ShadowTextureSide, side);
        for (Surface* s : {ShadowTextures[0], ShadowTextures[1], ShadowStagingSurface}) {
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(std::pair(surfaceWidth(s), surfaceFormat(s)),
                      std::pair(side, PixelFormat::Argb4444));
            for (uint16_t texel : texels(s)) ASSERT_EQ(texel, 0);
        }
    }
    EXPECT_LT(createShadowTextures(0, 0), 0);
    EXPECT_EQ(ShadowTextures[0], nullptr);
}

// The button picture is kept in the screen's format: on 5-5-5 the 6-bit green
// loses its lowest bit. A surface loss rebuilds every texture and the cached
// board picture; whatever the earlier loads made is released (the sanitizer
// run reports leaks).
TEST_F(ResourcesTest, AFullLoadFillsTheTablesAndASurfaceLossRebuildsThem) {
    const uint16_t p = patternPixel(21, 45);
    for (const bool format555 : {false, true}) {
        openDisplay(2048, format555);
        ASSERT_EQ(loadResources(), nullptr);
        EXPECT_EQ(ButtonImage[45 * 256 + 21],
                  format555 ? (p >> 11) << 10 | ((p >> 6) & 31) << 5 | (p & 31) : p);
        for (int slot = 0; slot < 8; ++slot)
            EXPECT_EQ(TextureTable[slot] != nullptr, slot <= 5 && slot != 4) << slot;
        CameraRoll = 96, RedrawRequest = 0;
        ASSERT_EQ(restoreSurfaces(), nullptr);
        EXPECT_EQ(std::pair(CameraRoll, RedrawRequest), std::pair(0, 1));
        EXPECT_EQ(texels(TextureTable[5])[7 * 256 + 11], patternPixel(11, 7));
        for (int i = 0; i < 3; ++i) ASSERT_EQ(restoreSurfaces(), nullptr);
    }
}

} // namespace
