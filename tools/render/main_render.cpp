// korvath-render: draws one frame of the board the way the game redraws it
// (backdrop, then the scene) on the headless display and saves it as PNG.
// Its pictures come from DATAS/ in the current folder, else from the installed
// game's data folder.
#include "app/data_file.h"
#include "app/display.h"
#include "app/resources.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh_renderer.h"
#include "render/screen.h"
#include "rules/notation.h"
#include "rules/position.h"
#include "scene/scene.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int UsageExit = 2;

struct Request {
    bool backdrop = true;
    int width = 0, height = 0;
    int azimuth = 0, elevation = 0, roll = 0;
    const char* output = nullptr;
    Position position{};
    int32_t variant = 0;
};

int usage(const char* problem) {
    std::fprintf(
        stderr,
        "korvath-render: %s\n"
        "usage: korvath-render [--no-backdrop] WIDTH HEIGHT AZIMUTH ELEVATION ROLL "
        "OUT.png VARIANT SIDE0 SIDE1\n"
        "  WIDTH HEIGHT  640 480, 800 600 or 1024 768\n"
        "  AZIMUTH       camera turn in the game's units (the game starts at 0)\n"
        "  ELEVATION     -185 .. -20 (the game starts at -50)\n"
        "  ROLL          4096ths of a turn (the game starts at 0)\n"
        "  VARIANT SIDE0 SIDE1  a position in korvath-engine's notation,\n"
        "                e.g. 0 1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7 "
        "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2\n"
        "The pictures come from DATAS/ in the current folder, else from the installed game.\n"
        "Textures are 256 texels, shadows 128.\n",
        problem);
    return UsageExit;
}

bool parseInteger(const char* text, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < -1000000 || value > 1000000) return false;
    out = static_cast<int>(value);
    return true;
}

// Empty on success, else what is wrong with the arguments.
std::string parseArguments(int argc, char** argv, Request& request) {
    int next = 1;
    if (next < argc && std::strcmp(argv[next], "--no-backdrop") == 0) {
        request.backdrop = false;
        ++next;
    }
    if (argc - next != 9) return "expected 9 arguments after the options";
    if (!parseInteger(argv[next], request.width) || !parseInteger(argv[next + 1], request.height))
        return "the size must be two whole numbers";
    const bool knownSize = (request.width == 640 && request.height == 480) ||
                           (request.width == 800 && request.height == 600) ||
                           (request.width == 1024 && request.height == 768);
    if (!knownSize) return "the size must be 640 480, 800 600 or 1024 768";
    if (!parseInteger(argv[next + 2], request.azimuth) ||
        !parseInteger(argv[next + 3], request.elevation) ||
        !parseInteger(argv[next + 4], request.roll))
        return "the camera values must be whole numbers";
    if (request.elevation < CameraElevationLowest || request.elevation > CameraElevationHighest)
        return "the elevation must lie in -185 .. -20";
    request.output = argv[next + 5];
    const std::string position =
        std::string(argv[next + 6]) + " " + argv[next + 7] + " " + argv[next + 8];
    const std::string problem = parsePosition(position, request.position, request.variant);
    if (!problem.empty()) return "bad position: " + problem;
    return "";
}

// The game's frame set-up and board redraw, for one frame.
void drawFrame(const Request& request) {
    ShadowColor = DefaultShadowColor;
    fillSurface(DDrawSurfaceBack, 0);
    FarDistance = 10000.0f;
    FarReciprocal = 0.0001f;
    beginScene();
    setRenderStates();
    CameraAzimuth = request.azimuth;
    CameraElevation = request.elevation;
    CameraRoll = request.roll;
    orbitCamera();
    fillSurface(Zbuffer, 0xFFFF);
    if (request.backdrop)
        drawSceneWithBackdrop(request.position, request.variant, static_cast<float>(ScreenWidth),
                              static_cast<float>(ScreenHeight));
    else
        drawScene(request.position, request.variant);
    endScene();
}

int savePicture(const char* fileName) {
    LockedSurface locked{};
    if (lockSurface(DDrawSurfaceBack, &locked) != PLATFORM_OK) {
        errno = EIO;
        return PLATFORM_FAILED;
    }
    const int result = savePng(fileName, locked.memory, ScreenWidth, ScreenHeight, locked.pitch,
                               surfaceFormat(DDrawSurfaceBack));
    const int error = errno; // the reason of a failed write, for the message
    unlockSurface(DDrawSurfaceBack);
    errno = error;
    return result;
}

int fail(const char* what, const char* detail) {
    std::fprintf(stderr, "korvath-render: %s: %s\n", what, detail);
    releaseDisplay();
    videoStop();
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN); // a file-size limit fails the write, reported below
    Request request;
    const std::string problem = parseArguments(argc, argv, request);
    if (!problem.empty()) return usage(problem.c_str());

    selectBackend(Backend::Headless);
    ScreenWidth = request.width;
    ScreenHeight = request.height;
    TextureSize = 256;
    ShadowTextureSize = 128;
    UseHardware = 1;
    if (const char* failed = initDisplay()) return fail("display set-up failed", failed);
    setRenderStates();
    clearTextureTable();
    findInstalledData();
    if (const char* failed = loadResources()) return fail("cannot load the pictures", failed);
    selectRuleVariant(request.variant);

    drawFrame(request);
    if (savePicture(request.output) != PLATFORM_OK) {
        const std::string what = std::string(request.output) + ": " + std::strerror(errno);
        return fail("cannot write the picture", what.c_str());
    }
    releaseDisplay();
    videoStop();
    return 0;
}
