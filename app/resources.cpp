// Resource loading: picture files into textures and the button picture, and
// everything else loadResources builds. The texture table, the button
// picture and the shadow textures (render/textures.h) are written only here
// and by createShadowTextures; each load releases what the previous one made.
#include "app/resources.h"

#include "app/data_file.h"
#include "app/settings.h"
#include "platform/checked_file.h"
#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh.h"
#include "render/screen.h"
#include "render/textures.h"
#include "scene/input.h"
#include "scene/shadow_texture.h"

#include <cerrno>
#include <cstdio>

namespace {

char failureText[256];               // the last failure reported; rewritten by the next
uint8_t fileBytes[PictureFileBytes]; // scratch of one picture file read
RgbPicture scratchRgb;               // scratch of one picture load
RgbaPicture scratchRgba;             // scratch of one texture load
uint16_t workTexels[PicturePixels];  // one texture's texels; scratch of one load

const char* failure(const char* format, const char* fileName, size_t bytes = 0) {
    std::snprintf(failureText, sizeof failureText, format, fileName, bytes);
    return failureText;
}

// How a texel is packed in each of the formats createTexture tries.
uint16_t packTexel(PixelFormat format, unsigned r, unsigned g, unsigned b, unsigned a) {
    switch (format) {
    case PixelFormat::Rgb565:
        return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
    case PixelFormat::Bgr565:
        return static_cast<uint16_t>(r >> 3 | (g >> 2) << 5 | (b >> 3) << 11);
    case PixelFormat::Argb4444:
        return static_cast<uint16_t>((r >> 4) << 8 | (g >> 4) << 4 | b >> 4 | (a >> 4) << 12);
    default:
        return static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3 | (a >> 7) << 15);
    }
}

void releaseSlot(int slot) {
    if (TextureTable[slot] != nullptr) releaseSurface(TextureTable[slot]);
    TextureTable[slot] = nullptr;
}

void releaseTextureTable() {
    for (int slot = 0; slot < TextureSlots; ++slot) releaseSlot(slot);
}

} // namespace

const char* loadImage565(const char* fileName, RgbPicture& out) {
    FILE* file = openDataFile(fileName);
    if (file == nullptr && errno != ENOENT) {
        std::snprintf(failureText, sizeof failureText, "%s cannot be opened: %s", fileName,
                      openFailureText(errno));
        return failureText;
    }
    if (file == nullptr) return failure("%s is missing", fileName);
    const size_t got = std::fread(fileBytes, 1, PictureFileBytes, file);
    const bool unreadable = std::ferror(file) != 0;
    std::fclose(file);
    if (unreadable) return failure("%s could not be read", fileName);
    if (got < PictureFileBytes) {
        return failure("%s is too short (%zu of 131072 bytes)", fileName, got);
    }
    for (int i = 0; i < PicturePixels; ++i) {
        const unsigned p = fileBytes[2 * i] | fileBytes[2 * i + 1] << 8;
        out.rgb[3 * i] = static_cast<uint8_t>((p >> 11) << 3);
        out.rgb[3 * i + 1] = static_cast<uint8_t>(((p >> 5) & 63) << 2);
        out.rgb[3 * i + 2] = static_cast<uint8_t>((p & 31) << 3);
    }
    return nullptr;
}

const char* loadScreenImage(const char* fileName) {
    if (const char* failed = loadImage565(fileName, scratchRgb)) return failed;
    const bool is565 = screenIs565();
    for (int i = 0; i < PicturePixels; ++i) {
        const unsigned r = scratchRgb.rgb[3 * i], g = scratchRgb.rgb[3 * i + 1],
                       b = scratchRgb.rgb[3 * i + 2];
        ButtonImage[i] = static_cast<uint16_t>(is565 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                                                     : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
    }
    return nullptr;
}

const char* loadTexture(const char* fileName, int slot) {
    if (const char* failed = loadImage565(fileName, scratchRgb)) return failed;
    for (int i = 0; i < PicturePixels; ++i) {
        scratchRgba.rgba[4 * i] = scratchRgb.rgb[3 * i];
        scratchRgba.rgba[4 * i + 1] = scratchRgb.rgb[3 * i + 1];
        scratchRgba.rgba[4 * i + 2] = scratchRgb.rgb[3 * i + 2];
        scratchRgba.rgba[4 * i + 3] = 255;
    }
    // A texture the device refuses leaves its slot empty: those faces draw untextured.
    createTexture(TextureSize, slot, scratchRgba);
    return nullptr;
}

int createTexture(int size, int slot, const RgbaPicture& picture) {
    releaseSlot(slot);
    DeviceCaps caps{};
    const int capsResult = getDeviceCaps(&caps);
    if (capsResult < 0) return capsResult;
    int side = size & 0xFFFF;
    const int limit = caps.maxTextureWidth != 0 ? caps.maxTextureWidth : 256;
    if (side >= limit) side = limit;

    const PixelFormat formats[] = {PixelFormat::Rgb565, PixelFormat::Bgr565, PixelFormat::Argb4444,
                                   PixelFormat::Argb1555};
    PixelFormat format = PixelFormat::Rgb565;
    for (PixelFormat candidate : formats) {
        TextureTable[slot] = createSurface(side, side, candidate);
        if (TextureTable[slot] != nullptr) {
            format = candidate;
            break;
        }
    }
    if (TextureTable[slot] == nullptr) return PLATFORM_FAILED;
    for (int i = 0; i < PicturePixels; ++i) {
        const uint8_t* p = &picture.rgba[4 * i];
        workTexels[i] = packTexel(format, p[0], p[1], p[2], p[3]);
    }

    Surface* staging = createSurface(side, side, format);
    LockedSurface locked{};
    if (staging == nullptr || !lockSurfaceWhenReady(staging, locked)) {
        releaseSurface(staging);
        return PLATFORM_FAILED;
    }
    for (int y = 0; y < side; ++y) {
        uint16_t* row = locked.memory + y * (locked.pitch / 2);
        const uint16_t* source = workTexels + (y * PictureSide / side) * PictureSide;
        for (int x = 0; x < side; ++x) row[x] = source[x * PictureSide / side];
    }
    unlockSurface(staging);
    const int result = loadTexture(TextureTable[slot], staging);
    releaseSurface(staging);
    return result;
}

void clearTextureTable() {
    for (Surface*& slot : TextureTable) slot = nullptr;
    CameraRoll = 0;
}

const char* loadResources() {
    RedrawRequest = 0;
    CameraDistance = 3500;
    // The piece pictures cross over: file 0 dresses side 1, file 1 side 0.
    const struct {
        const char* name;
        int slot;
    } textures[] = {{"DATAS/DBLANC.RAW", 0},
                    {"DATAS/DNOIR.RAW", 1},
                    {"DATAS/PION0.RAW", 3},
                    {"DATAS/PION1.RAW", 2}};
    for (const auto& texture : textures) {
        if (const char* failed = loadTexture(texture.name, texture.slot)) return failed;
    }
    if (const char* failed = loadScreenImage("DATAS/BOUTON.RAW")) return failed;
    if (const char* failed = loadTexture("DATAS/FOND.RAW", 5)) return failed;
    createShadowTextures(ShadowTextureSize, 0);
    createShadowTextures(ShadowTextureSize, 1);
    releaseKeptSilhouettes(); // the meshes are built anew
    buildSineTable();
    setCameraConstants();
    buildGameMeshes();
    return nullptr;
}

const char* restoreSurfaces() {
    restoreAllSurfaces();
    releaseTextureTable();
    clearTextureTable();
    const char* failed = loadResources();
    // The cached board picture went with the surfaces' contents: draw it anew.
    RedrawRequest = 1;
    return failed;
}

void releaseDisplay() {
    releaseTextureTable();
    releaseShadowTextures();
    releaseKeptSilhouettes();
    // The flipping chain belongs to the platform, which tears it down in videoStop.
    DDrawSurfacePrimary = nullptr;
    DDrawSurfaceBack = nullptr;
}
