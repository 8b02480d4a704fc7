// The shadow's clipping onto receiver faces and the silhouette filler: the
// cases that decide whether a shadow has holes, spills off its face or
// loses its soft rim.
#include "scene/shadow_projection.h"
#include "scene/shadow_texture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace {

MeshVertex vertexAt(float x, float y, float z, float u = 0, float v = 0) {
    MeshVertex m{};
    m.x = x, m.y = y, m.z = z, m.u = u, m.v = v;
    // Receiver faces are read in world coordinates, which drawShadow leaves
    // in the view fields.
    m.viewX = x, m.viewY = y, m.viewZ = z;
    return m;
}

// A ground triangle at y = 0 facing +y, like the board and the shadow plate.
struct Ground {
    MeshVertex corners[3];
    MeshFace face{};
    Ground(Vec3 a, Vec3 b, Vec3 c) {
        const Vec3 p[3] = {a, b, c};
        for (int k = 0; k < 3; ++k) corners[k] = vertexAt(p[k].x, p[k].y, p[k].z);
        face.vertexA = &corners[0], face.vertexB = &corners[1], face.vertexC = &corners[2];
        Vec3 n;
        vecCross(vecSub(b, a), vecSub(c, a), n);
        vecNormalize(n);
        face.normalX = n.x, face.normalY = n.y, face.normalZ = n.z;
    }
};

// Triangle t's signed area in the ground plane: its sign tells the winding.
float signedArea(const ShadowClipList& list, int t) {
    const int* k = list.triangles[t].corner;
    const MeshVertex &a = list.pool[k[0]], &b = list.pool[k[1]], &c = list.pool[k[2]];
    return 0.5f * ((b.x - a.x) * (c.z - a.z) - (c.x - a.x) * (b.z - a.z));
}

// The live pieces' count and total area.
std::pair<int, float> live(const ShadowClipList& list) {
    std::pair<int, float> sum = {0, 0.0f};
    for (int t = 0; t < list.triangleCount; ++t) {
        if (!list.triangles[t].dead) sum.first += 1, sum.second += std::abs(signedArea(list, t));
    }
    return sum;
}

// The triangle's shadow on the face, from the light.
ShadowClipList project(MeshVertex a, MeshVertex b, MeshVertex c, const MeshFace& face, Vec3 light) {
    const MeshVertex* tri[3] = {&a, &b, &c};
    ShadowClipList list{};
    projectOntoFace(tri, face, light, list);
    return list;
}

// Light straight above the origin: projection onto y = 0 keeps x and z.
const Vec3 Overhead = {0, -1000, 0};
// Winding of the board's faces (normal +y): a, then +z..., as the grid builds them.
const Ground BigGround({-1000, 0, 1000}, {1000, 0, 1000}, {1000, 0, -1000});

TEST(ShadowClipTest, StraddlingTrianglesKeepExactlyTheirPartInsideTheFace) {
    // The face x >= 0, z >= 0, x + z <= 1000 on the ground, facing +y; a light
    // so far above that the projection leaves ground points where they are.
    const Ground face({0, 0, 0}, {0, 0, 1000}, {1000, 0, 0});
    const Vec3 farAbove = {0, -1e6f, 0};
    struct Case {
        Vec3 a, b, c;
        int live;   // pieces drawn
        float area; // of the part inside the face
    };
    const Case cases[] = {
        {{100, 0, 100}, {100, 0, 500}, {500, 0, 100}, 1, 80000},    // inside
        {{200, 0, 200}, {200, 0, 1200}, {1200, 0, 200}, 1, 180000}, // one corner inside
        {{100, 0, 100}, {100, 0, 600}, {1100, 0, 100}, 2, 230000},  // two inside
        {{100, 0, 100}, {100, 0, 900}, {900, 0, 100}, 1, 320000},   // two corners on the edge
        {{-1000, 0, -1000}, {-1000, 0, 3000}, {3000, 0, -1000}, 0, 500000}, // covers the face
    };
    for (const Case& c : cases) {
        const ShadowClipList list = project(vertexAt(c.a.x, 0, c.a.z), vertexAt(c.b.x, 0, c.b.z),
                                            vertexAt(c.c.x, 0, c.c.z), face.face, farAbove);
        EXPECT_TRUE(c.live == 0 || live(list).first == c.live) << c.a.x << ": " << live(list).first;
        EXPECT_NEAR(live(list).second, c.area, c.area * 1e-4f) << c.a.x;
        for (int t = 0; t < list.triangleCount; ++t)
            for (int k : list.triangles[t].corner) {
                const MeshVertex& v = list.pool[k];
                const bool inside = v.x >= -0.01f && v.z >= -0.01f && v.x + v.z <= 1000.01f;
                EXPECT_TRUE(list.triangles[t].dead || inside) << v.x << "," << v.z;
            }
    }
    // Seen from 1000 above, a point 50 above the ground lands 1000/950 further out.
    const ShadowClipList list =
        project(vertexAt(100, -50, 100, 0, 0), vertexAt(300, -50, 100, 1, 0),
                vertexAt(300, -50, 300, 1, 1), BigGround.face, Overhead);
    ASSERT_EQ(live(list).first, 1);
    EXPECT_NEAR(list.pool[1].x, 300 * 1000.0f / 950.0f, 0.01f);
    EXPECT_NEAR(list.pool[1].y, 0.0f, 1e-3f);
    EXPECT_EQ(list.pool[2].u, 1.0f);
}

TEST(ShadowClipTest, ClipPiecesSplitAtTheEdgePlane) {
    // Clip against the plane x = 0, inside towards +x.
    auto clip = [](Vec3 a, Vec3 b, Vec3 c, ShadowClipList& list) {
        list = ShadowClipList{};
        list.pool[0] = vertexAt(a.x, a.y, a.z, 0, 0);
        list.pool[1] = vertexAt(b.x, b.y, b.z, 1, 0);
        list.pool[2] = vertexAt(c.x, c.y, c.z, 0, 1);
        list.vertexCount = 3;
        list.triangles[0] = ClipTriangle{{0, 1, 2}, false};
        list.triangleCount = 1;
        return clipTriangleByPlane(0, {0, 0, 0}, {1, 0, 0}, list);
    };
    ShadowClipList list;
    // One inside: (X, I1, I2) with the cut points on the plane and u, v interpolated.
    EXPECT_EQ(clip({-3, 0, 0}, {3, 0, 0}, {-1, 0, 4}, list), 1);
    ASSERT_EQ(list.triangleCount, 2);
    // X = (3, 0, 0) u 1; I1 three quarters of the way to Y = (-1, 0, 4), I2 half way to
    // Z = (-3, 0, 0).
    const float got[] = {list.pool[3].x, list.pool[3].z, list.pool[3].u, list.pool[3].v,
                         list.pool[4].u};
    const float want[] = {0, 3, 0.25f, 0.75f, 0.5f};
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(got[k], want[k], 1e-6f) << k;

    // Two inside: two pieces that keep the triangle's winding.
    EXPECT_EQ(clip({1, 0, 0}, {-1, 0, 0}, {1, 0, 2}, list), 2);
    ASSERT_EQ(list.triangleCount, 3);
    // Same sense as the original (1,0,0),(-1,0,0),(1,0,2); the triangle's 2 minus the cut-off 0.5.
    EXPECT_LT(signedArea(list, 1), 0.0f);
    EXPECT_LT(signedArea(list, 2), 0.0f);
    EXPECT_NEAR(signedArea(list, 1) + signedArea(list, 2), -1.5f, 1e-5f);

    // A corner exactly on the plane counts as outside.
    EXPECT_EQ(clip({0, 0, 0}, {2, 0, 0}, {2, 0, 2}, list), 2);
}

TEST(ShadowClipTest, ProjectionFromBehindTheLightOrOntoADegenerateFaceGivesNothing) {
    const MeshVertex b = vertexAt(300, -50, 100), c = vertexAt(300, -50, 300);
    // The first corner is above the light.
    EXPECT_EQ(project(vertexAt(100, -2000, 100), b, c, BigGround.face, Overhead).triangleCount, 0);
    const Ground flat({0, 0, 0}, {0, 0, 0}, {100, 0, 0});
    EXPECT_EQ(live(project(vertexAt(100, -50, 100), b, c, flat.face, Overhead)).first, 0);
}

// ---- The silhouette filler --------------------------------------------------------

constexpr int Side = 32;

// The 32 x 32 texels after filling the triangle given by its corners' screen positions; the
// canvas sits between two guard rows that must stay clear.
std::vector<uint16_t> fill(std::array<float, 6> corners) {
    MeshVertex v[3] = {};
    for (int k = 0; k < 3; ++k) v[k].screenX = corners[2 * k], v[k].screenY = corners[2 * k + 1];
    MeshFace face{};
    face.vertexA = &v[0], face.vertexB = &v[1], face.vertexC = &v[2];
    std::vector<uint16_t> guarded(Side * (Side + 2), 0);
    rasterizeShadowTriangle(face, 0xB000, {guarded.data() + Side, Side * 2, Side});
    for (int x = 0; x < Side; ++x) {
        EXPECT_EQ(guarded[x], 0);
        EXPECT_EQ(guarded[(Side + 1) * Side + x], 0);
    }
    return std::vector<uint16_t>(guarded.begin() + Side, guarded.end() - Side);
}

// Spans widen by about two texels each side (the soft rim), rows run from the top edge up to
// but not including the bottom one, and everything is clipped to the texture.
TEST(ShadowFillTest, SpansAreWidenedAndClipped) {
    // Probes are {x, y, drawn}.
    const struct {
        std::array<float, 6> corners;
        std::vector<std::array<int, 3>> probes;
    } cases[] = {
        // Clockwise on a y-down grid: top, right, left; the apex row spans
        // trunc(16 - 2.1) = 13 up to trunc(16 + 2.1) = 18, exclusive.
        {{16, 4, 20, 12, 12, 12},
         {{12, 4, 0}, {13, 4, 1}, {17, 4, 1}, {18, 4, 0}, {16, 3, 0}, {16, 11, 1}, {16, 12, 0}}},
        // All three corners on one vertical line: zero area, still drawn.
        {{10, 2, 10, 6, 10, 10}, {{6, 5, 0}, {7, 5, 1}, {11, 5, 1}, {12, 5, 0}}},
        // Far bigger than the texture on every side.
        {{16, -100, 200, 100, -150, 100}, {{0, 10, 1}, {31, 31, 1}}},
    };
    for (const auto& c : cases) {
        const std::vector<uint16_t> texels = fill(c.corners);
        for (const auto& [x, y, drawn] : c.probes)
            EXPECT_EQ(texels[y * Side + x], drawn ? 0xB000 : 0)
                << c.corners[0] << " at " << x << "," << y;
    }
    // Seen from behind, or at most 0.15 texels tall in both halves: nothing.
    for (const std::array<float, 6> none :
         {std::array<float, 6>{16, 4, 12, 12, 20, 12}, {4, 10, 20, 10.1f, 8, 10.15f}}) {
        const std::vector<uint16_t> texels = fill(none);
        EXPECT_EQ(std::count(texels.begin(), texels.end(), 0), Side * Side) << none[1];
    }
}

} // namespace
