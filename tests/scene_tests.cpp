// The scene library: picking in screen space, the shadow's clipping onto receiver
// faces and its silhouette filler, and korvath-render run from the outside. How the
// board, its pieces, shadows and sky look is seen by the reference frames.
#include "render/camera.h"
#include "scene/input.h"
#include "scene/picking.h"
#include "scene/scene.h"
#include "scene/shadow_projection.h"
#include "scene/shadow_texture.h"
#include "tests/headless_screen.h"
#include "tests/rules_test_util.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int Width = 640, Height = 480;

// Picking needs only the camera; what the pieces look like is seen in the reference frames.
class SceneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ScreenWidth = Width, ScreenHeight = Height, FocalLength = focalLengthFor(Width);
        buildSineTable();
        setCameraConstants();
        selectRuleVariant(0);
    }
    static std::pair<int, int> picked() {
        pickSquare();
        return {hoverColumn, hoverRow};
    }
};

// ---- Picking ----------------------------------------------------------------------

// Every pixel at every size and in every rule set, from a turned camera, picks
// the square and the live piece of the side whose centres project nearest to it
// (a tie may go either way). Unoptimised builds look at every seventh pixel.
TEST_F(SceneTest, EveryPixelPicksTheNearestProjectedSquareAndLivePiece) {
#ifdef NDEBUG
    constexpr int Stride = 1;
#else
    constexpr int Stride = 7;
#endif
    for (const auto& [width, height] : {std::pair(640, 480), {800, 600}, {1024, 768}})
        for (int variant = 0; variant < RuleVariantCount; ++variant) {
            ScreenWidth = width, ScreenHeight = height, FocalLength = focalLengthFor(width);
            setCameraConstants();
            CameraAzimuth = 30 + variant * 70, CameraElevation = -40, CameraRoll = 64 * variant;
            orbitCamera();
            updateCamera();
            selectRuleVariant(variant);
            const int columns = ruleVariants[variant].columns;
            Position position{};
            setUpPosition(position);
            for (int i = 0; i < ruleVariants[variant].piecesPerSide; i += 3)
                pieceOf(position, 1, i).column = -1; // captured: never picked
            // Each square's projected centre, and the side whose live piece stands on it.
            std::vector<std::pair<float, float>> centres;
            std::vector<int> owner(columns * columns, -1);
            for (int c = 0; c < columns * columns; ++c) {
                const Vec3 v =
                    transformPoint(squareCentre(c / columns, c % columns, columns), ViewMatrix);
                centres.emplace_back(v.x / v.z * FocalLength + width / 2.0f,
                                     v.y / v.z * FocalLength + height / 2.0f);
            }
            for (int side : {0, 1})
                for (int i = 0; i < ruleVariants[variant].piecesPerSide; ++i)
                    if (const Piece& p = pieceOf(position, side, i); p.column >= 0)
                        owner[p.column * columns + p.row] = side;
            auto distance = [&](int column, int row) {
                const auto [x, y] = centres[column * columns + row];
                return (x - MouseX) * (x - MouseX) + (y - MouseY) * (y - MouseY);
            };
            for (MouseY = 0; MouseY < height; MouseY += Stride)
                for (MouseX = 0; MouseX < width; MouseX += Stride) {
                    float square = 1e9f, piece[2] = {1e9f, 1e9f};
                    for (int c = 0; c < columns * columns; ++c) {
                        square = std::min(square, distance(c / columns, c % columns));
                        if (owner[c] >= 0)
                            piece[owner[c]] =
                                std::min(piece[owner[c]], distance(c / columns, c % columns));
                    }
                    pickSquare();
                    ASSERT_LE(distance(hoverColumn, hoverRow), square * 1.0001f + 1e-3f)
                        << width << " " << variant << " " << MouseX << "," << MouseY;
                    for (int side : {0, 1}) {
                        const int k = pickPiece(position, side);
                        const Piece& p = pieceOf(position, side, std::max(k, 0));
                        ASSERT_TRUE(k >= 0 && p.column >= 0 &&
                                    distance(p.column, p.row) <= piece[side] * 1.0001f + 1e-3f)
                            << width << " " << variant << " " << side << " " << MouseX << ","
                            << MouseY;
                    }
                }
        }
}

TEST_F(SceneTest, PickingTiesGoLowAndNothingFarAwayIsPicked) {
    // An exactly symmetric view, so that squares around the centre tie.
    CameraEye = {0, -4200, 0}, CameraRoll = 0;
    updateCamera();
    MouseX = Width / 2, MouseY = Height / 2; // the board's centre, a corner of four squares
    EXPECT_EQ(picked(), std::pair(3, 3));

    const Position position = positionWith({{0, 0, 4, 4, 0}, {0, 1, 3, 3, 0}});
    EXPECT_EQ(pickPiece(position, 0), 0);
    EXPECT_EQ(pickPiece(position, 1), -1); // the side has no piece on the board

    // Nothing is picked far away.
    hoverColumn = 5, hoverRow = 1;
    MouseX = 100000, MouseY = 300;
    EXPECT_EQ(picked(), std::pair(5, 1));
}

// ---- The shadow's clipping --------------------------------------------------------

// Receiver faces are read in world coordinates, which drawShadow leaves in the view fields.
MeshVertex vertexAt(float x, float y, float z, float u = 0, float v = 0) {
    MeshVertex m{};
    m.x = x, m.y = y, m.z = z, m.u = u, m.v = v;
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
    for (int t = 0; t < list.triangleCount; ++t)
        if (!list.triangles[t].dead) sum.first += 1, sum.second += std::abs(signedArea(list, t));
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
        // Pieces never overlap, so any spill over the face's edges shows as too much area.
        EXPECT_NEAR(live(list).second, c.area, c.area * 1e-4f) << c.a.x;
    }
    // Seen from 1000 above, a point 50 above the ground lands 1000/950 further out.
    const ShadowClipList list =
        project(vertexAt(100, -50, 100, 0, 0), vertexAt(300, -50, 100, 1, 0),
                vertexAt(300, -50, 300, 1, 1), BigGround.face, Overhead);
    ASSERT_EQ(live(list).first, 1);
    EXPECT_NEAR(list.pool[1].x, 300 * 1000.0f / 950.0f, 0.01f);
    EXPECT_NEAR(list.pool[1].y, 0.0f, 1e-3f);
}

TEST(ShadowClipTest, ClipPiecesSplitAtTheEdgePlane) {
    // Clip against the plane x = 0, inside towards +x.
    auto clip = [](Vec3 a, Vec3 b, Vec3 c, ShadowClipList& list) {
        list = {{vertexAt(a.x, a.y, a.z, 0, 0), vertexAt(b.x, b.y, b.z, 1, 0),
                 vertexAt(c.x, c.y, c.z, 0, 1)},
                3,
                {ClipTriangle{{0, 1, 2}, false}},
                1};
        return clipTriangleByPlane(0, {0, 0, 0}, {1, 0, 0}, list);
    };
    ShadowClipList list;
    // One inside: (X, I1, I2) with the cut points on the plane and u, v interpolated.
    EXPECT_EQ(clip({-3, 0, 0}, {3, 0, 0}, {-1, 0, 4}, list), 1);
    // X = (3, 0, 0) u 1; I1 three quarters of the way to Y = (-1, 0, 4), I2 half way to
    // Z = (-3, 0, 0).
    const float got[] = {list.pool[3].x, list.pool[3].z, list.pool[3].u, list.pool[3].v,
                         list.pool[4].u};
    const float want[] = {0, 3, 0.25f, 0.75f, 0.5f};
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(got[k], want[k], 1e-6f) << k;

    // Two inside: two pieces that keep the triangle's winding.
    EXPECT_EQ(clip({1, 0, 0}, {-1, 0, 0}, {1, 0, 2}, list), 2);
    // Both in the same sense as the original (1,0,0),(-1,0,0),(1,0,2), else their areas would
    // partly cancel: the triangle's 2 minus the cut-off 0.5.
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
    EXPECT_EQ(std::count(guarded.begin(), guarded.begin() + Side, 0), Side);
    EXPECT_EQ(std::count(guarded.end() - Side, guarded.end(), 0), Side);
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

// ---- korvath-render from the outside ----------------------------------------------

namespace fs = std::filesystem;

const std::string Start8 = "0 1.5,3.5,5.5,7.5,0.6,2.6,4.6,6.6,1.7,3.7,5.7,7.7 "
                           "0.0,2.0,4.0,6.0,1.1,3.1,5.1,7.1,0.2,2.2,4.2,6.2";

// Runs the tool in `folder`; its exit code and standard error.
std::pair<int, std::string> runTool(const fs::path& folder, const std::string& arguments) {
    const std::string command = "cd '" + folder.string() +
                                "' && '" KORVATH_BIN_DIR "/korvath-render' " + arguments +
                                " 2>&1 > /dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string err;
    for (int c; (c = std::fgetc(pipe)) != EOF;) err += static_cast<char>(c);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, err};
}

TEST(RenderToolTest, BadArgumentsGetTheUsageAndCode2) {
    const std::string bad[] = {
        "",
        "800 600 0 -50 0 out.png 0",                       // too few
        "801 600 0 -50 0 /tmp/x.png " + Start8,            // unknown size
        "800 600 zero -50 0 /tmp/x.png " + Start8,         // not a number
        "800 600 0 -10 0 /tmp/x.png " + Start8,            // elevation out of range
        "800 600 0 -50 0 /tmp/x.png 3 1.5 0.0",            // no such rule set
        "800 600 0 -50 0 /tmp/x.png 0 1.5,1.5 0.0",        // wrong piece count
        "--backdrop 800 600 0 -50 0 /tmp/x.png " + Start8, // unknown option
    };
    for (const std::string& arguments : bad) {
        const auto [exitCode, err] = runTool(KORVATH_DATA_DIR, arguments);
        EXPECT_EQ(exitCode, 2) << arguments;
        EXPECT_NE(err.find("usage: korvath-render"), std::string::npos) << arguments;
    }
}

TEST(RenderToolTest, NamesAMissingPictureElseDrawsTheBoardIntoAPng) {
    const fs::path empty =
        fs::temp_directory_path() / ("korvath-render-" + std::to_string(getpid()));
    fs::create_directories(empty);
    auto [exitCode, err] = runTool(empty, "640 480 0 -50 0 out.png " + Start8);
    EXPECT_EQ(exitCode, 1);
    EXPECT_NE(err.find("DATAS/DBLANC.RAW"), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(empty / "out.png"));
    std::tie(exitCode, err) = runTool(
        KORVATH_DATA_DIR, "640 480 0 -50 0 '" + (empty / "out.png").string() + "' " + Start8);
    ASSERT_EQ(exitCode, 0) << err;
    // A black or nearly empty frame compresses to a few kilobytes; the
    // board, its pieces and the sky do not.
    EXPECT_GT(fs::file_size(empty / "out.png"), 60000u);
    fs::remove_all(empty);
}

} // namespace
