// The full board redraw of a frame: backdrop, then drawScene of the 40
// pieces of a 10 x 10 game, with the game's pictures, at the two large
// screen sizes. Run from the build tree's top folder (DATAS/ must be there).
#include "scene/backdrop.h"
#include "scene/scene.h"
#include "tests/scene_fixture.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

namespace {

// One of the game's picture files, as stored (5-6-5, little-endian).
bool loadPicture(int slot, const char* fileName) {
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return false;
    std::vector<uint8_t> bytes(PictureSide * PictureSide * 2);
    const bool complete = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    std::fclose(file);
    if (complete)
        scene_fixture::makeTexture(slot, [&](int i) {
            return static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        });
    return complete;
}

// Sine table, camera constants, meshes and shadow textures.
void buildScene() {
    buildSineTable();
    setCameraConstants();
    buildGameMeshes();
    for (int side : {0, 1}) createShadowTextures(128, side);
}

// The game's frame set-up, up to drawing the backdrop and the scene.
void beginFrame(int azimuth, int elevation, int roll) {
    ShadowColor = DefaultShadowColor;
    fillSurface(DDrawSurfaceBack, 0);
    fillSurface(Zbuffer, 0xFFFF);
    FarDistance = 10000.0f, FarReciprocal = 0.0001f;
    beginScene();
    setRenderState(RS_ZENABLE, 1);
    setRenderState(RS_ZWRITEENABLE, 1);
    CameraAzimuth = azimuth, CameraElevation = elevation, CameraRoll = roll;
    orbitCamera();
}

bool prepare(int width, int height) {
    if (!scene_fixture::openDisplay(width, height)) return false;
    const char* files[] = {"DATAS/DBLANC.RAW", "DATAS/DNOIR.RAW", "DATAS/PION1.RAW",
                           "DATAS/PION0.RAW",  nullptr,           "DATAS/FOND.RAW"};
    for (int slot = 0; slot < 6; ++slot) {
        if (files[slot] != nullptr && !loadPicture(slot, files[slot])) return false;
    }
    buildScene();
    selectRuleVariant(1);
    setUpPosition(gamePosition);
    return true;
}

void redraw(benchmark::State& state, bool backdrop, bool scene) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 3 / 4;
    if (!prepare(width, height)) {
        state.SkipWithError("no display or no DATAS/ pictures (run from the build folder)");
        return;
    }
    for (auto _ : state) {
        beginFrame(0, -50, 0);
        if (backdrop && scene)
            drawSceneWithBackdrop(gamePosition, 1, static_cast<float>(width),
                                  static_cast<float>(height));
        else if (backdrop)
            drawBackdrop(BackdropTexture, static_cast<float>(width), static_cast<float>(height));
        else
            drawScene(gamePosition, 1);
        endScene();
        benchmark::ClobberMemory();
    }
    scene_fixture::closeDisplay();
}

void BM_FullRedraw(benchmark::State& state) {
    redraw(state, true, true);
}
void BM_BackdropOnly(benchmark::State& state) {
    redraw(state, true, false);
}
void BM_SceneOnly(benchmark::State& state) {
    redraw(state, false, true);
}

BENCHMARK(BM_FullRedraw)->Arg(1024)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BackdropOnly)->Arg(1024)->Arg(800)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneOnly)->Arg(1024)->Arg(800)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
