// The mesh renderer on the headless device: a face's shade from its lighting
// flag and intensity, untextured faces, and faces beyond the far distance.
#include "render/mesh_renderer.h"

#include "render/textures.h"
#include "tests/scene_fixture.h"

#include <gtest/gtest.h>

namespace {

constexpr int Width = 640, Height = 480;

class MeshRendererTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_fixture::openDisplay(Width, Height));
        buildSineTable();
        setCameraConstants();
        FarDistance = 10000.0f, FarReciprocal = 0.0001f;
        CameraEye = {0, -1000, 0}, CameraRoll = 0;
        updateCamera();
        scene_fixture::makeSolidTexture(0, 0xFFFF);
        scene_fixture::makeSolidTexture(1, 0xF800);
        // One 512 cell under the eye, centred on the origin.
        quad = buildGridMesh(512, 512, 2, 0, 0, 0, 0, 0);
        quad->posX = quad->posZ = 256.0f;
    }
    void TearDown() override {
        releaseMesh(quad);
        scene_fixture::closeDisplay();
    }
    // The centre pixel after drawing the quad with both faces set alike.
    uint16_t drawWith(int lit, float intensity, int material) {
        fillSurface(DDrawSurfaceBack, 0);
        fillSurface(Zbuffer, 0xFFFF);
        for (int f = 0; f < quad->faceCount; ++f) {
            MeshFace& face = quad->faces[f];
            face.litFlags[0] = static_cast<int8_t>(lit), face.intensity = intensity;
            face.material = material;
        }
        beginScene();
        setRenderState(RS_ZENABLE, 1);
        setRenderState(RS_ZWRITEENABLE, 1);
        drawMesh(*quad);
        endScene();
        return backPixel(Width / 2 + 7, Height / 2 + 5);
    }
    Mesh* quad = nullptr;
};

// The 5-6-5 channels.
const auto red = [](uint16_t p) { return p >> 11; };
const auto green = [](uint16_t p) { return (p >> 5) & 63; };
const auto blue = [](uint16_t p) { return p & 31; };

// Lit faces dim with their intensity down to an ambient floor, unlit ones are dimmer still,
// fully lit ones ignore it; every shade is a grey.
TEST_F(MeshRendererTest, AFacesShadeComesFromItsLightingFlagAndIntensity) {
    const uint16_t unlit = drawWith(0, 1.0f, 0), floor = drawWith(1, 0.0f, 0),
                   half = drawWith(1, 0.5f, 0), full = drawWith(1, 1.0f, 0);
    const int rising[] = {0, green(unlit), green(floor), green(half), green(full)};
    for (int k = 1; k < 5; ++k) EXPECT_LT(rising[k - 1], rising[k]) << k;
    EXPECT_GE(green(full), 62);
    EXPECT_EQ(drawWith(2, 0.0f, 0), full);
    for (const uint16_t p : {unlit, floor, half, full}) EXPECT_EQ(red(p), blue(p));
}

TEST_F(MeshRendererTest, FacesWithoutATextureAreDrawnInTheirShadeAlone) {
    EXPECT_EQ(green(drawWith(1, 1.0f, 1)), 0); // the red texture
    const uint16_t none = drawWith(1, 1.0f, -1);
    EXPECT_GE(green(none), 62);
    EXPECT_GE(blue(none), 30);
    EXPECT_EQ(drawWith(1, 1.0f, 9), none); // an empty texture slot
}

TEST_F(MeshRendererTest, FacesBeyondTheFarDistanceAreNotSent) {
    ASSERT_NE(drawWith(1, 1.0f, 0), 0);
    FarDistance = 900.0f; // the quad lies 1000 away; depths still fit the device's range
    EXPECT_EQ(drawWith(1, 1.0f, 0), 0);
    quad->vertices[1].y = -200.0f; // one corner (of both faces) within the distance is enough
    EXPECT_NE(drawWith(1, 1.0f, 0), 0);
}

} // namespace
