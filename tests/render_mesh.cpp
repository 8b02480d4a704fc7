// The procedural meshes: the boards' checker and frame, and the normal conventions the
// lighting relies on (boards face +y, cylinders' face normals point inwards).
#include "render/mesh.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

Vec3 centroid(const MeshFace& f) {
    return {(f.vertexA->x + f.vertexB->x + f.vertexC->x) / 3,
            (f.vertexA->y + f.vertexB->y + f.vertexC->y) / 3,
            (f.vertexA->z + f.vertexB->z + f.vertexC->z) / 3};
}

// A face that points outside its mesh's vertices shows as a centroid outside its square.
TEST(MeshTest, BoardsAlternateTheirWoodsInsideAFrameAndFaceUp) {
    for (const int columns : {8, 10}) {
        Mesh* board = buildGridMesh(512, 512, columns + 1, 1, 0, 2, 0, 1);
        ASSERT_EQ(board->faceCount, 2 * columns * columns + 8) << columns;
        const float half = 256.0f * columns;
        for (int f = 0; f < board->faceCount; ++f) {
            const MeshFace& face = board->faces[f];
            EXPECT_TRUE(face.normalY == 1.0f && face.litFlags[0] == 1) << f; // lit from above
            const Vec3 c = centroid(face);
            const int cell = f / 2, row = cell / columns, column = cell % columns;
            // Cell (row, column) spans its square, light wood on the corner square; the frame
            // lies outside.
            const bool inFrame = cell >= columns * columns;
            EXPECT_EQ(face.material, inFrame ? 2 : (row + column + 1) % 2) << columns << " " << f;
            EXPECT_TRUE(!inFrame || std::max(std::abs(c.x), std::abs(c.z)) > half) << f;
            if (inFrame) continue;
            EXPECT_TRUE(c.x > -half + 512.0f * column && c.x < -half + 512.0f * (column + 1));
            EXPECT_TRUE(c.z > -half + 512.0f * row && c.z < -half + 512.0f * (row + 1)) << f;
        }
        releaseMesh(board);
    }
}

// The shadow plate's frame has four collapsed faces: their zero normals stay out of the
// vertices' sums, and nothing becomes NaN.
TEST(MeshTest, ShadowPlateIsOnlyAFrameWithCollapsedFaces) {
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

TEST(MeshTest, CylinderIsClosedWithInwardFaceNormals) {
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
    const MeshFace& cap = man->faces[32];
    EXPECT_EQ(cap.uA, 0.5f);
    EXPECT_NEAR(man->vertices[2].u, 1.0f, 1e-6f);
    EXPECT_NEAR(man->vertices[2].v, 0.5f, 1e-6f);
    releaseMesh(man);
}

TEST(MeshTest, GameMeshesAreRebuiltWithoutLeaking) {
    buildGameMeshes();
    ASSERT_NE(KingMesh, nullptr);
    setMeshMaterial(*KingMesh, 3);
    EXPECT_EQ(KingMesh->faces[63].material, 3);
    buildGameMeshes(); // the sanitizer run reports the first set if it leaks
    EXPECT_EQ(KingMesh->faces[63].material, 0);
}

} // namespace
