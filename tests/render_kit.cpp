// The render kit: angles and pose matrices against their one-axis factors, the
// orbiting camera from the worked figures of an 800 x 600 screen, the procedural
// meshes and the normal conventions the lighting relies on (boards face +y,
// cylinders' face normals point inwards), and the mesh renderer's shading on
// the headless device.
#include "render/mesh_renderer.h"
#include "tests/scene_fixture.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <span>

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

class Camera : public ::testing::Test {
  protected:
    void SetUp() override {
        ScreenWidth = 800, ScreenHeight = 600, FocalLength = 350.0f;
        setCameraConstants();
        place(0, -50, 0);
    }
    static void place(int azimuth, int elevation, int roll) {
        CameraAzimuth = azimuth, CameraElevation = elevation, CameraRoll = roll;
        orbitCamera();
        updateCamera();
    }
};

// Worked figures at the starting camera (+x shows on the left); a quarter turn of roll turns
// the picture about the centre; the target lies at the centre, 4200 away, from anywhere.
TEST_F(Camera, WorkedProjectionsOnAn800By600Screen) {
    const struct {
        int azimuth, elevation, roll;
        float x, y, z, screenX, screenY;
    } cases[] = {
        {0, -50, 0, 1000, 0, 0, 316.7f, 300.0f},   {0, -50, 0, 0, 0, 1000, 400.0f, 369.8f},
        {0, -50, 0, 0, -500, 0, 400.0f, 267.3f},   {0, -50, 1024, 1000, 0, 0, 400.0f, 216.7f},
        {0, -20, 0, 0, 0, 0, 400.0f, 300.0f},      {204, -50, 0, 0, 0, 0, 400.0f, 300.0f},
        {77, -185, 1000, 0, 0, 0, 400.0f, 300.0f}, {-300, -100, -64, 0, 0, 0, 400.0f, 300.0f},
    };
    for (const auto& c : cases) {
        place(c.azimuth, c.elevation, c.roll);
        const Projection p = projectPosition(c.x, c.y, c.z, ViewMatrix);
        EXPECT_NEAR(std::hypot(p.screenX - c.screenX, p.screenY - c.screenY), 0, 0.1f)
            << c.azimuth << " " << c.roll << " " << c.x << ": " << p.screenX << "," << p.screenY;
        const bool target = c.x == 0 && c.y == 0 && c.z == 0;
        EXPECT_TRUE(!target || std::abs(p.viewZ - 4200.0f) < 0.5f) << p.viewZ;
    }
}

Vec3 centroid(const MeshFace& f) {
    return {(f.vertexA->x + f.vertexB->x + f.vertexC->x) / 3,
            (f.vertexA->y + f.vertexB->y + f.vertexC->y) / 3,
            (f.vertexA->z + f.vertexB->z + f.vertexC->z) / 3};
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

TEST(Mesh, CylindersAreClosedWithInwardFaceNormalsAndRebuiltWithoutLeaking) {
    Mesh* man = buildCylinderMesh(16, 7, 200.0f, 32.0f, 8);
    ASSERT_EQ(man->faceCount, 64);
    // The last side quad closes onto the first ring vertex.
    EXPECT_EQ(man->faces[2 * 15].vertexC, &man->vertices[2]);
    EXPECT_EQ(man->faces[2 * 15 + 1].vertexC, &man->vertices[16 + 2]);
    for (int f = 0; f < man->faceCount; ++f) {
        const MeshFace& face = man->faces[f];
        const Vec3 c = centroid(face);
        EXPECT_LT(c.x * face.normalX + c.y * face.normalY + c.z * face.normalZ, 0.0f) << f;
        EXPECT_EQ(face.material, f < 32 ? 7 : 8);
    }
    // Caps take each corner's own texture coordinates: the disc fills the
    // picture's inscribed circle.
    EXPECT_EQ(man->faces[32].uA, 0.5f);
    EXPECT_NEAR(man->vertices[2].u, 1.0f, 1e-6f);
    EXPECT_NEAR(man->vertices[2].v, 0.5f, 1e-6f);
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

// The 5-6-5 channels.
const auto green = [](uint16_t p) { return (p >> 5) & 63; };
const auto blue = [](uint16_t p) { return p & 31; };

// Lit faces dim with their intensity down to an ambient floor, unlit ones are dimmer still,
// fully lit ones ignore it; every shade is a grey. Untextured faces show their shade alone.
TEST_F(MeshRenderer, AFacesShadeComesFromItsLightingIntensityAndTextureAndFarFacesAreLeftOut) {
    const uint16_t unlit = drawWith(0, 1.0f, 0), floor = drawWith(1, 0.0f, 0),
                   half = drawWith(1, 0.5f, 0), full = drawWith(1, 1.0f, 0);
    const int rising[] = {0, green(unlit), green(floor), green(half), green(full)};
    for (int k = 1; k < 5; ++k) EXPECT_LT(rising[k - 1], rising[k]) << k;
    EXPECT_GE(green(full), 62);
    EXPECT_EQ(drawWith(2, 0.0f, 0), full);
    for (const uint16_t p : {unlit, floor, half, full}) EXPECT_EQ(p >> 11, blue(p));
    EXPECT_EQ(drawWith(1, 1.0f, 1), 0xF800); // the red texture
    EXPECT_EQ(drawWith(1, 1.0f, -1), full);
    EXPECT_EQ(drawWith(1, 1.0f, 9), full); // an empty texture slot
    // Faces beyond the far distance are not sent.
    FarDistance = 900.0f; // the quad lies 1000 away; depths still fit the device's range
    EXPECT_EQ(drawWith(1, 1.0f, 0), 0);
    quad->vertices[1].y = -200.0f; // one corner (of both faces) within the distance is enough
    EXPECT_NE(drawWith(1, 1.0f, 0), 0);
}

} // namespace
