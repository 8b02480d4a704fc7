// The render kit: angles and pose matrices against their one-axis factors, what the
// procedural meshes hold beyond what the reference frames show (the orbiting camera, the
// boards and the pieces' shapes, normals and discs are seen there), and the mesh
// renderer's shading on the headless device.
#include "render/mesh_renderer.h"
#include "tests/scene_fixture.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <span>
#include <utility>
#include <vector>

namespace {

// Every test reads the sine table; it is filled once, before any of them runs.
[[maybe_unused]] const bool SinesBuilt = (buildSineTable(), true);

float apart(const Vec3& a, const Vec3& b) {
    return vecLength(a.x - b.x, a.y - b.y, a.z - b.z);
}

// Angles of any sign wrap; a positive angle turns the other way from the
// right-handed sense: a quarter turn about z carries x to -y, one about x y to -z.
TEST(Math, PoseTurnsAboutXThenYThenZAndThenMoves) {
    EXPECT_FLOAT_EQ(sineOf(-4096 * 3 - 1024), -1.0f);
    Matrix4 m;
    matFromPose({7, -8, 9, 0, 0, 1024}, m);
    EXPECT_LT(apart(transformPoint({1, 0, 0}, m), {7, -9, 9}), 1e-5f);
    CombinedMatrix = m;
    Vec3 out;
    transformDirection({0, 1, 0}, out); // turned, not moved
    EXPECT_LT(apart(out, {1, 0, 0}), 1e-5f);
    matFromPose({0, 0, 0, 1024, 0, 0}, m);
    EXPECT_LT(apart(transformPoint({0, 1, 0}, m), {0, 0, -1}), 1e-5f);
    // The whole table must equal the product of its three one-axis turns.
    const int cases[][3] = {{300, 0, 0}, {0, 700, 0}, {123, 456, 789}, {-900, 2500, 4000}};
    for (const auto& c : cases) {
        Matrix4 r[3], xy, xyz, full;
        for (int k = 0; k < 3; ++k)
            matFromPose({0, 0, 0, c[0] * (k == 0), c[1] * (k == 1), c[2] * (k == 2)}, r[k]);
        matMultiplyAffine(r[0], r[1], xy);
        matMultiplyAffine(xy, r[2], xyz);
        matFromPose({0, 0, 0, c[0], c[1], c[2]}, full);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(full.m[i], xyz.m[i], 1e-5f) << i;
    }
}

// A product applies its first factor, then its second, and can itself be a
// first factor: whatever its fourth column held before must not carry on.
TEST(Math, AffineProductAppliesFirstThenSecond) {
    Matrix4 a, b, ab, aba;
    matFromPose({10, 20, 30, 100, 200, 300}, a);
    matFromPose({-5, 6, 700, -50, 800, 2000}, b);
    std::ranges::fill(ab.m, 9.0f);
    matMultiplyAffine(a, b, ab);
    matMultiplyAffine(ab, a, aba);
    const Vec3 p = {3, -4, 5};
    EXPECT_LT(
        apart(transformPoint(p, aba), transformPoint(transformPoint(transformPoint(p, a), b), a)),
        1e-3f);
}

// Sizing a shadow projects the piece once more, from the light; the depth the drawing gave
// each vertex stays.
TEST(Camera, TheExtentProjectionKeepsTheVertexDepth) {
    MeshVertex p{};
    p.z = 1000.0f, p.depth = 0.5f;
    matIdentity(CombinedMatrix);
    projectExtent(p);
    EXPECT_EQ(std::pair(p.viewZ, p.depth), std::pair(1000.0f, 0.5f));
}

// The boards' woods, squares and frame are seen in the reference frames.
TEST(Mesh, TheShadowPlatesCollapsedFacesLeaveItsNormalsWhole) {
    // The shadow plate is only a frame, with four collapsed faces: their zero normals stay
    // out of the vertices' sums, and nothing becomes NaN.
    Mesh* plate = buildGridMesh(3072, 3072, 1, 0, 1, 3, 0, 1);
    int zeroArea = 0;
    for (int f = 0; f < plate->faceCount; ++f) {
        const MeshFace& face = plate->faces[f];
        zeroArea += face.normalX == 0.0f && face.normalY == 0.0f && face.normalZ == 0.0f;
        EXPECT_TRUE(face.normalY == 0.0f || face.normalY == 1.0f) << f;
    }
    EXPECT_EQ(zeroArea, 4);
    for (int v = 0; v < plate->vertexCount; ++v)
        EXPECT_FALSE(std::isnan(plate->vertices[v].normalY));
    EXPECT_EQ(plate->vertices[1].normalY, 1.0f);
    releaseMesh(plate);
}

// A cylinder's sides and caps can wear materials of their own (the game's pieces wear one).
TEST(Mesh, CylindersKeepTheirSidesAndCapsMaterialsAndAreRebuiltWithoutLeaking) {
    Mesh* man = buildCylinderMesh(16, 7, 200.0f, 32.0f, 8);
    for (int f = 0; f < man->faceCount; ++f) EXPECT_EQ(man->faces[f].material, f < 32 ? 7 : 8);
    releaseMesh(man);
    // The game's set is built again at every resource load.
    buildGameMeshes();
    setMeshMaterial(*KingMesh, 3);
    EXPECT_EQ(KingMesh->faces[63].material, 3);
    buildGameMeshes(); // the sanitizer run reports the first set if it leaks
    EXPECT_EQ(KingMesh->faces[63].material, 0);
}

constexpr int Width = 640, Height = 480;

class MeshRenderer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(scene_fixture::openDisplay(Width, Height));
        setCameraConstants();
        CameraEye = {0, -1000, 0}, CameraRoll = 0;
        updateCamera();
        scene_fixture::makeSolidTexture(0, 0xFFFF);
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
        for (MeshFace& face : std::span(quad->faces, quad->faceCount)) {
            face.litFlags[0] = static_cast<int8_t>(lit), face.intensity = intensity;
            face.material = material;
        }
        beginScene();
        drawMesh(*quad);
        endScene();
        return backPixel(Width / 2 + 7, Height / 2 + 5);
    }
    Mesh* quad = nullptr;
};

// Fully lit faces ignore their intensity, and untextured faces (no material, or an empty
// slot) show their shade alone; how lit and unlit faces shade and which texture a face
// wears is seen by the reference frames.
TEST_F(MeshRenderer, FullyLitAndUntexturedFacesShowTheirShadeAndFarFacesAreLeftOut) {
    const uint16_t full = drawWith(1, 1.0f, 0);
    EXPECT_EQ(std::vector({drawWith(2, 0.0f, 0), drawWith(1, 1.0f, -1), drawWith(1, 1.0f, 9)}),
              std::vector(3, full));
    // Faces beyond the far distance are not sent.
    FarDistance = 900.0f; // the quad lies 1000 away; depths still fit the device's range
    EXPECT_EQ(drawWith(1, 1.0f, 0), 0);
    quad->vertices[1].y = -200.0f; // one corner (of both faces) within the distance is enough
    EXPECT_NE(drawWith(1, 1.0f, 0), 0);
}

} // namespace
