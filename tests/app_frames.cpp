// Reference frames: korvath-headless plays each script of tests/frames/ on both
// raster paths, and every picture it snaps (and every F3 picture it writes) must
// equal the reference PNG of that name there, pixel for pixel. A difference
// leaves NAME-expected, -actual and -difference PNGs next to the test log
// (Testing/Temporary/frames/); scripts/update_frames.sh writes new references.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

const fs::path FramesDir = fs::path(KORVATH_SOURCE_DIR) / "tests" / "frames";
const fs::path FailuresDir = fs::path(KORVATH_TEST_LOG_DIR) / "frames";

// Pictures are compared as the 5-6-5 frames they were made from: a PNG's low
// bits repeat the high ones, an F3 file's are zero. An F3 file holds the
// frame's triples without a header; its size is the screen's.
struct Picture {
    int width = 0, height = 0;
    std::vector<uint16_t> pixels; // row-major
};

Picture readPicture(const fs::path& file, int width, int height) {
    Picture p{width, height, {}};
    std::vector<uint8_t> rgb;
    if (file.extension() != ".png")
        rgb.assign(std::istreambuf_iterator<char>(std::ifstream(file, std::ios::binary).rdbuf()),
                   {});
    else if (!readPngRgb(file.c_str(), &rgb, &p.width, &p.height))
        return p;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        p.pixels.push_back(
            static_cast<uint16_t>((rgb[i] >> 3) << 11 | (rgb[i + 1] >> 2) << 5 | rgb[i + 2] >> 3));
    return p;
}

void writePicture(const fs::path& file, const Picture& p) {
    ASSERT_EQ(
        savePng(file.c_str(), p.pixels.data(), p.width, p.height, p.width * 2, PixelFormat::Rgb565),
        PLATFORM_OK)
        << file;
}

std::vector<std::string> scriptNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(FramesDir))
        if (entry.path().extension() == ".txt") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class Frames : public ::testing::TestWithParam<std::tuple<std::string, bool>> {
  protected:
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir = fs::temp_directory_path() / ("korvath-frames-" + std::to_string(::getpid()));
};

// A script opens with "# size WIDTH HEIGHT", the screen it is played on.
TEST_P(Frames, EveryPictureEqualsItsReference) {
    const auto& [name, wide] = GetParam();
    std::ifstream script(FramesDir / (name + ".txt"));
    std::string line, word;
    int width = 0, height = 0;
    std::getline(script, line);
    std::istringstream(line) >> word >> word >> width >> height;
    ASSERT_EQ(word, "size") << line;
    fs::create_directories(dir);
    fs::create_directory_symlink(fs::path(KORVATH_DATA_DIR) / "DATAS", dir / "DATAS");
    std::ofstream(dir / "SETTINGS.TXT") << "WIDTH " << width << "\nHEIGHT " << height
                                        << "\nSHADOW 64\nTEXTURES 128\nHARDWARE 1\nMUSIC 0\n";
    const int status =
        std::system(("cd '" + dir.string() + "' && '" KORVATH_BIN_DIR "/korvath-headless' " +
                     (wide ? "'" : "--plain-loops '") + (FramesDir / (name + ".txt")).string() +
                     "' > out.txt 2>&1")
                        .c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << std::ifstream(dir / "out.txt").rdbuf();
    std::vector<std::string> files; // an F3 file keeps the script's name: all-640-page0
    while (script >> word)
        if (word == "snap" && script >> word) files.push_back(word);
    for (const char* kind : {".raw", ".png"}) // F3 pictures, as either file
        for (int n = 0; fs::exists(dir / ("page" + std::to_string(n) + kind)); ++n)
            files.push_back("page" + std::to_string(n) + kind);
    for (const std::string& file : files) {
        const std::string stem = fs::path(file).stem().string();
        const std::string reference = file.starts_with("page") ? name + "-" + stem : stem;
        const Picture actual = readPicture(dir / file, width, height);
        ASSERT_EQ(actual.pixels.size(), static_cast<size_t>(width) * height) << file;
        if (std::getenv("KORVATH_UPDATE_FRAMES") != nullptr) {
            writePicture(FramesDir / (reference + ".png"), actual);
            continue;
        }
        // The difference: white where the pictures differ, the expected picture
        // at a quarter of its brightness elsewhere.
        Picture expected = readPicture(FramesDir / (reference + ".png"), 0, 0),
                difference = expected;
        const bool sameSize = expected.pixels.size() == actual.pixels.size();
        size_t differing = 0;
        for (size_t i = 0; sameSize && i < actual.pixels.size(); ++i) {
            differing += actual.pixels[i] != expected.pixels[i];
            difference.pixels[i] = actual.pixels[i] == expected.pixels[i]
                                       ? (expected.pixels[i] >> 2) & 0x39E7
                                       : 0xFFFF;
        }
        if (sameSize && differing == 0) continue;
        ADD_FAILURE() << reference << ": " << differing << " pixels differ"
                      << (sameSize ? "" : " (no reference picture of that size)") << "; see "
                      << FailuresDir / (reference + "-*.png");
        fs::create_directories(FailuresDir);
        const std::pair<const char*, const Picture*> written[] = {
            {"actual", &actual}, {"expected", &expected}, {"difference", &difference}};
        for (const auto& [kind, picture] : written)
            if (picture->pixels.size() == actual.pixels.size())
                writePicture(FailuresDir / (reference + "-" + kind + ".png"), *picture);
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, Frames,
                         ::testing::Combine(::testing::ValuesIn(scriptNames()), ::testing::Bool()),
                         [](const auto& info) {
                             std::string name = std::get<0>(info.param);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name + (std::get<1>(info.param) ? "_WideLanes" : "_PlainLoops");
                         });

} // namespace
