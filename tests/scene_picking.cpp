// Picking squares and pieces in screen space: exact hits, ties, the distance
// limit, captured pieces, and the menu rectangles' strict edges.
#include "scene/picking.h"

#include "render/camera.h"
#include "rules/position.h"
#include "scene/input.h"
#include "scene/scene.h"
#include "tests/rules_test_util.h"

#include <cmath>
#include <gtest/gtest.h>
#include <utility>

namespace {

class PickingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        buildSineTable();
        ScreenWidth = 800, ScreenHeight = 600, FocalLength = 350.0f;
        setCameraConstants();
        FarDistance = 10000.0f, FarReciprocal = 0.0001f;
        selectRuleVariant(0);
        lookFromStraightAbove();
    }
    // An exactly symmetric view, so that squares around the centre tie.
    static void lookFromStraightAbove() {
        CameraEye = {0, -4200, 0}, CameraRoll = 0;
        updateCamera();
    }
    static void pointAtSquare(int column, int row) {
        const Vec3 c = squareCentre(column, row, ruleVariants[ruleVariant].columns);
        const Projection p = projectPosition(c.x, c.y, c.z, ViewMatrix);
        MouseX = static_cast<int>(std::lround(p.screenX));
        MouseY = static_cast<int>(std::lround(p.screenY));
    }
    static std::pair<int, int> picked() {
        pickSquare();
        return {hoverColumn, hoverRow};
    }
};

TEST_F(PickingTest, TheSquareUnderTheCursorIsFoundFromAnyCamera) {
    CameraAzimuth = 30, CameraElevation = -50, CameraRoll = 200;
    orbitCamera();
    updateCamera();
    for (int column = 0; column < 8; ++column) {
        for (int row = 0; row < 8; ++row) {
            pointAtSquare(column, row);
            EXPECT_EQ(picked(), std::pair(column, row));
        }
    }
    selectRuleVariant(1);
    pointAtSquare(9, 9);
    EXPECT_EQ(picked(), std::pair(9, 9));
}

TEST_F(PickingTest, TiesGoLowAndNothingFarAwayOrCapturedIsPicked) {
    EXPECT_EQ(squareCentre(0, 0, 8).x, -1792.0f); // the board's squares, 512 a side
    EXPECT_EQ(squareCentre(0, 9, 10).z, 2304.0f);
    MouseX = 400, MouseY = 300; // the board's centre, a corner of four squares
    EXPECT_EQ(picked(), std::pair(3, 3));

    Position position = positionWith({{0, 0, 4, 4, 0}, {0, 1, 3, 3, 0}});
    EXPECT_EQ(pickPiece(position, 0), 0);
    EXPECT_EQ(pickPiece(position, 1), -1); // the side has no piece on the board

    // Nothing is picked far away, and captured pieces never.
    hoverColumn = 5, hoverRow = 1;
    MouseX = 100000, MouseY = 300;
    EXPECT_EQ(picked(), std::pair(5, 1));
    position = positionWith({{1, 0, 2, 2, 0}});
    EXPECT_EQ(pickPiece(position, 1), -1);

    // A captured piece keeps its row; the cursor right over its old square
    // still picks the live piece far away.
    pieceOf(position, 1, 3) = {-1, 6, 0};
    pointAtSquare(0, 6);
    pickSquare();
    EXPECT_EQ(hoverColumn, 0);
    EXPECT_EQ(pickPiece(position, 1), 0);
}

TEST_F(PickingTest, RectangleEdgesAreOutside) {
    MouseX = 10, MouseY = 120;
    EXPECT_EQ(isCursorInRect(10, 110, 110, 130), 0);
    EXPECT_EQ(isCursorInRect(9, 110, 110, 130), 1);
    EXPECT_EQ(isCursorInRect(9, 120, 110, 130), 0);
    EXPECT_EQ(isCursorInRect(9, 110, 10, 130), 0);
    EXPECT_EQ(isCursorInRect(9, 110, 110, 120), 0);
}

} // namespace
