// The orbiting camera and the projection, from the worked figures of an
// 800 x 600 screen at the starting camera.
#include "render/camera.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct Point {
    float x, y, z;
    float viewX = 0, viewY = 0, viewZ = 0, rhw = 0, depth = 0, screenX = 0, screenY = 0;
};

class CameraTest : public ::testing::Test {
  protected:
    void SetUp() override {
        buildSineTable();
        ScreenWidth = 800, ScreenHeight = 600, FocalLength = 350.0f;
        setCameraConstants();
        FarDistance = 10000.0f, FarReciprocal = 0.0001f;
        placeCamera(0, -50, 0);
    }
    static void placeCamera(int azimuth, int elevation, int roll) {
        CameraAzimuth = azimuth, CameraElevation = elevation, CameraRoll = roll;
        orbitCamera();
        updateCamera();
    }
    static Point project(float x, float y, float z) {
        Point p = {x, y, z};
        projectPoint(p, ViewMatrix);
        return p;
    }
};

// Worked figures at the starting camera (+x shows on the left); a quarter turn of roll turns
// the picture about the centre; the target lies at the centre, 4200 away, from anywhere.
TEST_F(CameraTest, WorkedProjectionsOnAn800By600Screen) {
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
        placeCamera(c.azimuth, c.elevation, c.roll);
        const Point p = project(c.x, c.y, c.z);
        EXPECT_NEAR(std::hypot(p.screenX - c.screenX, p.screenY - c.screenY), 0, 0.1f)
            << c.azimuth << " " << c.roll << " " << c.x << ": " << p.screenX << "," << p.screenY;
        const bool target = c.x == 0 && c.y == 0 && c.z == 0;
        EXPECT_TRUE(!target || std::abs(p.viewZ - 4200.0f) < 0.5f) << p.viewZ;
    }
}

TEST_F(CameraTest, DepthRunsFromTheFocalLengthToTheFarPlane) {
    // Straight down the view axis: the points at the near and far distances.
    const Vec3 axis = {-CameraEye.x / 4200.0f, -CameraEye.y / 4200.0f, -CameraEye.z / 4200.0f};
    auto along = [&](float distance) {
        return project(CameraEye.x + axis.x * distance, CameraEye.y + axis.y * distance,
                       CameraEye.z + axis.z * distance);
    };
    EXPECT_NEAR(along(350.0f).depth, 0.0f, 1e-4f);
    EXPECT_NEAR(along(10000.0f).depth, 1.0f, 1e-4f);
    EXPECT_LT(along(200.0f).depth, 0.0f);
    EXPECT_GT(along(12000.0f).depth, 1.0f);
}

TEST_F(CameraTest, LookAtCentresItsTargetAndExtentsGrow) {
    const Vec3 light = {500, -1255, 0};
    const Pose piece = {1000, -32, 1500, 0, 0, 0};
    lookAtFrom(light, piece, CombinedMatrix);
    Point p = {piece.posX, piece.posY, piece.posZ};
    p.depth = 0.5f;
    ExtentOrigin = {0, 0, 0}, MaxExtentDistance = MaxExtentRadius = 0;
    projectExtent(p);
    EXPECT_NEAR(std::hypot(p.viewX, p.viewY), 0.0f, 1e-2f) << p.viewX << "," << p.viewY;
    EXPECT_NEAR(p.viewZ, vecLength(500, 1223, 1500), 0.1f);
    EXPECT_FLOAT_EQ(p.depth, 0.5f); // not written by the extent projection
    EXPECT_NEAR(MaxExtentDistance, p.viewZ, 0.1f);
    EXPECT_NEAR(MaxExtentRadius, 0.0f, 1e-4f);
}

} // namespace
