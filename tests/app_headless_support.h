// Shared by the korvath-headless tests: a scratch game folder with its own
// SETTINGS.TXT and the built pictures, running a script through the program,
// reading its print lines, and where board squares land on the screen.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "render/camera.h"
#include "render/screen.h"
#include "rules/notation.h"
#include "scene/scene.h"
#include "tests/headless_screen.h"

namespace headless {

namespace fs = std::filesystem;

// One `print` line of the runner.
struct PrintLine {
    long long frame = 0;
    int appStage = 0, exitStage = 0, rules = 0, human = 0, level = 0, toMove = 0, ply = 0,
        selected = 0;
    std::string position;
};

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    std::vector<PrintLine> prints;
};

inline PrintLine parsePrintLine(const std::string& line) {
    PrintLine p;
    std::istringstream in(line);
    std::string word, stages;
    in >> word >> p.frame >> word >> stages >> word >> p.rules >> word >> p.human >> word >>
        p.level >> word >> p.toMove >> word >> p.ply >> word >> p.selected >> word;
    std::getline(in, p.position);
    if (!p.position.empty() && p.position[0] == ' ') p.position.erase(0, 1);
    std::sscanf(stages.c_str(), "%d/%d", &p.appStage, &p.exitStage);
    return p;
}

// A folder the game runs in: the test's settings, the build's pictures.
class GameFolder {
  public:
    explicit GameFolder(int width = 640, int height = 480) : width_(width), height_(height) {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        dir_ = fs::temp_directory_path() /
               ("korvath-headless-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::create_directory_symlink(fs::path(KORVATH_DATA_DIR) / "DATAS", dir_ / "DATAS");
        std::ofstream(dir_ / "SETTINGS.TXT") << "WIDTH " << width << "\nHEIGHT " << height
                                             << "\nSHADOW 64\nTEXTURES 128\nHARDWARE 1\nMUSIC 0\n";
    }
    ~GameFolder() { fs::remove_all(dir_); }

    const fs::path& dir() const { return dir_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // shellPrefix runs before the program in the same shell ("ulimit -f 40; ").
    RunResult run(const std::string& script, const std::string& shellPrefix = "",
                  const std::string& scriptName = "script.txt") const {
        if (scriptName == "script.txt") std::ofstream(dir_ / "script.txt") << script;
        const std::string command = "cd '" + dir_.string() + "' && " + shellPrefix +
                                    "'" KORVATH_BIN_DIR "/korvath-headless' '" + scriptName +
                                    "' > out.txt 2> err.txt";
        const int status = std::system(command.c_str());
        RunResult result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = readText(dir_ / "out.txt");
        result.err = readText(dir_ / "err.txt");
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("frame ", 0) == 0) result.prints.push_back(parsePrintLine(line));
        return result;
    }

    static std::string readText(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

  private:
    fs::path dir_;
    int width_, height_;
};

// Passes from start-up to the first game frame: the activation message, the
// intro set-up, 31 + 61 intro frames, and the first main-phase pass.
constexpr int PassesToFirstGameFrame = 1 + 1 + 31 + 61 + 1;

// The script line that runs to the first game frame (the activation message takes a pass).
inline std::string toFirstGameFrame() {
    return "wait " + std::to_string(PassesToFirstGameFrame - 1) + "\n";
}

// Everything a print line says but the pass it was printed in.
inline std::string state(const PrintLine& p) {
    return std::to_string(p.rules) + " " + std::to_string(p.human) + " " + std::to_string(p.level) +
           " " + std::to_string(p.toMove) + " " + std::to_string(p.ply) + " " +
           std::to_string(p.selected) + " " + p.position;
}

inline std::string startPosition(int variant) {
    selectRuleVariant(variant);
    Position position{};
    setUpPosition(position);
    return formatPosition(position, variant);
}

struct ScreenPoint {
    int x, y;
};

// Where the centre of a square lands with the camera a new game sets up
// (elevation -50, azimuth 204 per human side, no roll).
inline ScreenPoint squareOnScreen(int column, int row, int columns, int humanSide, int width,
                                  int height) {
    ScreenWidth = width;
    ScreenHeight = height;
    FocalLength = focalLengthFor(width);
    buildSineTable();
    setCameraConstants();
    CameraAzimuth = 204 * humanSide;
    CameraElevation = -50;
    CameraRoll = 0;
    orbitCamera();
    updateCamera();
    const Vec3 centre = squareCentre(column, row, columns);
    const Projection p = projectPosition(centre.x, centre.y, centre.z, ViewMatrix);
    return {static_cast<int>(p.screenX + 0.5f), static_cast<int>(p.screenY + 0.5f)};
}

// A left click: the press is seen by one frame, the release by the next.
inline std::string clickAt(ScreenPoint p) {
    return "mouse " + std::to_string(p.x) + " " + std::to_string(p.y) +
           "\ndown left\nwait 1\nup left\nwait 1\n";
}

// The fraction of pixels of a raw 24-bit picture that are not black.
inline double litFraction(const std::string& rgb) {
    size_t lit = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
        lit += (static_cast<uint8_t>(rgb[i]) | static_cast<uint8_t>(rgb[i + 1]) |
                static_cast<uint8_t>(rgb[i + 2])) > 8;
    return rgb.empty() ? 0.0 : static_cast<double>(lit) / static_cast<double>(rgb.size() / 3);
}

// A snapshot of a black or nearly uniform screen compresses to a few
// kilobytes; a frame with the board, its pieces and the menu does not.
constexpr uintmax_t UniformPictureBytes = 20000;

} // namespace headless
