// The procedural meshes: counts, positions, materials and the normal
// conventions that the lighting relies on (boards face +y, cylinders' face
// normals point inwards).
#include "render/mesh.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

Vec3 centroid(const MeshFace& f) {
    return {(f.vertexA->x + f.vertexB->x + f.vertexC->x) / 3,
            (f.vertexA->y + f.vertexB->y + f.vertexC->y) / 3,
            (f.vertexA->z + f.vertexB->z + f.vertexC->z) / 3};
}

bool facesBelongTo(const Mesh& mesh) {
    for (int f = 0; f < mesh.faceCount; ++f) {
        for (const MeshVertex* v :
             {mesh.faces[f].vertexA, mesh.faces[f].vertexB, mesh.faces[f].vertexC}) {
            if (v < mesh.vertices || v >= mesh.vertices + mesh.vertexCount) return false;
        }
    }
    return true;
}

TEST(MeshTest, EightByEightBoardAndItsFrame) {
    Mesh* board = buildGridMesh(512, 512, 9, 1, 0, 2, 0, 1);
    ASSERT_EQ(board->vertexCount, 89);
    ASSERT_EQ(board->faceCount, 136);
    EXPECT_TRUE(facesBelongTo(*board));
    EXPECT_EQ(board->vertices[0].x, -2048.0f);
    EXPECT_EQ(board->vertices[0].z, -2048.0f);
    EXPECT_EQ(board->vertices[80].x, 2048.0f);
    EXPECT_EQ(board->vertices[80].z, 2048.0f);
    for (int k = 0; k < 4; ++k) {
        const MeshVertex& outer = board->vertices[81 + 4 + k];
        EXPECT_EQ(std::abs(outer.x), 2560.0f);
        EXPECT_EQ(std::abs(outer.z), 2560.0f);
    }
    for (int f = 0; f < board->faceCount; ++f) {
        const MeshFace& face = board->faces[f];
        EXPECT_FLOAT_EQ(face.normalY, 1.0f) << f; // every face of a board points to +y
        EXPECT_EQ(face.litFlags[0], 1);
        EXPECT_EQ(face.intensity, 1.0f);
        EXPECT_EQ(face.material, f >= 128 ? 2 : face.material);
    }
    releaseMesh(board);
}

TEST(MeshTest, TenByTenBoardAlternatesItsWoods) {
    Mesh* board = buildGridMesh(512, 512, 11, 1, 0, 2, 0, 1);
    ASSERT_EQ(board->vertexCount, 129);
    ASSERT_EQ(board->faceCount, 208);
    // Cells in rows of 10, two faces each: cell (r, c) at faces 2 (10 r + c).
    auto cellMaterial = [&](int r, int c) { return board->faces[2 * (10 * r + c)].material; };
    EXPECT_EQ(cellMaterial(0, 0), 1);
    EXPECT_EQ(cellMaterial(0, 1), 0);
    EXPECT_EQ(cellMaterial(1, 0), 0);
    EXPECT_EQ(cellMaterial(9, 9), 1);
    // Cell (0, 0) spans the corner square of the board.
    const Vec3 c = centroid(board->faces[0]);
    EXPECT_GT(c.x, -2560.0f);
    EXPECT_LT(c.x, -2048.0f);
    EXPECT_GT(c.z, -2560.0f);
    EXPECT_LT(c.z, -2048.0f);
    EXPECT_EQ(board->faces[1].material, board->faces[0].material);
    releaseMesh(board);
}

TEST(MeshTest, ShadowPlateIsOnlyAFrameWithCollapsedFaces) {
    Mesh* plate = buildGridMesh(3072, 3072, 1, 0, 1, 3, 0, 1);
    ASSERT_EQ(plate->vertexCount, 9);
    ASSERT_EQ(plate->faceCount, 8);
    int zeroArea = 0;
    for (int f = 0; f < 8; ++f) {
        const MeshFace& face = plate->faces[f];
        EXPECT_FALSE(std::isnan(face.normalX) || std::isnan(face.normalY));
        if (face.normalY == 0.0f) {
            ++zeroArea;
            EXPECT_EQ(face.normalX, 0.0f);
            EXPECT_EQ(face.normalZ, 0.0f);
        } else {
            EXPECT_FLOAT_EQ(face.normalY, 1.0f);
        }
    }
    EXPECT_EQ(zeroArea, 4);
    EXPECT_EQ(plate->vertices[0].normalCount, 0); // the single grid vertex is used by no face
    for (int v = 0; v < 9; ++v) EXPECT_FALSE(std::isnan(plate->vertices[v].normalY)) << v;
    EXPECT_EQ(plate->vertices[1].normalY, 1.0f); // zero normals stay out of the sums
    releaseMesh(plate);
}

TEST(MeshTest, CylinderIsClosedWithInwardFaceNormals) {
    Mesh* man = buildCylinderMesh(16, 7, 200.0f, 32.0f, 8);
    ASSERT_EQ(man->vertexCount, 34);
    ASSERT_EQ(man->faceCount, 64);
    EXPECT_TRUE(facesBelongTo(*man));
    // The last side quad closes onto the first ring vertex.
    EXPECT_EQ(man->faces[2 * 15].vertexC, &man->vertices[2]);
    EXPECT_EQ(man->faces[2 * 15 + 1].vertexC, &man->vertices[16 + 2]);
    for (int f = 0; f < man->faceCount; ++f) {
        const MeshFace& face = man->faces[f];
        const Vec3 c = centroid(face);
        const float outward = c.x * face.normalX + c.y * face.normalY + c.z * face.normalZ;
        EXPECT_LT(outward, 0.0f) << f;
        EXPECT_EQ(face.material, f < 32 ? 7 : 8);
        EXPECT_EQ(face.deferred, 0);
    }
    // Caps take each corner's own texture coordinates: the disc fills the
    // picture's inscribed circle.
    const MeshFace& cap = man->faces[32];
    EXPECT_EQ(cap.uA, 0.5f);
    EXPECT_EQ(cap.uB, cap.vertexB->u);
    EXPECT_NEAR(man->vertices[2].u, 1.0f, 1e-6f);
    EXPECT_NEAR(man->vertices[2].v, 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(man->vertices[0].y, 32.0f);
    EXPECT_FLOAT_EQ(man->vertices[18].y, -32.0f);
    releaseMesh(man);
}

TEST(MeshTest, GameMeshesAreRebuiltWithoutLeaking) {
    buildGameMeshes();
    Mesh* firstKing = KingMesh;
    ASSERT_NE(firstKing, nullptr);
    setMeshMaterial(*KingMesh, 3);
    EXPECT_EQ(KingMesh->faces[63].material, 3);
    buildGameMeshes(); // the sanitizer run reports the first set if it leaks
    EXPECT_EQ(KingMesh->faces[63].material, 0);
    EXPECT_EQ(BoardMesh8->faceCount, 136);
    EXPECT_EQ(BoardMesh10->faceCount, 208);
    EXPECT_EQ(ShadowPlaneMesh->faceCount, 8);
    EXPECT_FLOAT_EQ(KingMesh->vertices[1].y, -100.0f);
    EXPECT_FLOAT_EQ(ManMesh->posY, -170.0f);
}

} // namespace
