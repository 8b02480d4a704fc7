// Scene drawing: the board, every piece's shadow, then the pieces, from one
// fixed point light. ShadowColor is written by the game controller each
// frame; ShadowZBias here before each shadow; the shared piece meshes are
// moved and dressed here for every piece.
#include "scene/scene.h"

#include "render/mesh_renderer.h"
#include "rules/position.h"
#include "scene/backdrop.h"
#include "scene/shadow_projection.h"
#include "scene/shadow_texture.h"

#include <cassert>

const Vec3 SceneLight = {500.0f, -1255.0f, 0.0f};
uint16_t ShadowColor = DefaultShadowColor;
int ShadowZBias = 2;

namespace {

// Piece materials: texture 2 dresses side 0, texture 3 side 1.
constexpr int SideMaterial[SideCount] = {2, 3};

// Chooses and places the mesh of one piece, at `foot` on the board plane or
// above it; kings stand 200 tall, men 64.
Mesh& placePiece(const Piece& piece, const Vec3& foot) {
    const bool king = piece.king == 1;
    Mesh& mesh = king ? *KingMesh : *ManMesh;
    mesh.posX = foot.x;
    mesh.posY = foot.y + (king ? -100.0f : -32.0f);
    mesh.posZ = foot.z;
    mesh.shadowTexture = 0;
    return mesh;
}

// Every piece on the board, side 0 first and in index order, its mesh
// dressed in its side's material and placed on its square, or where its glide
// has taken it; with its slot among the kept silhouettes.
template <class Visit>
void forEachPlacedPiece(const Position& position, const RuleVariant& rules, const PieceGlide* glide,
                        Visit visit) {
    for (int side = 0; side < SideCount; ++side) {
        setMeshMaterial(*ManMesh, SideMaterial[side]);
        setMeshMaterial(*KingMesh, SideMaterial[side]);
        assert(rules.piecesPerSide * SideCount <= KeptSilhouetteSlots);
        for (int i = 0; i < rules.piecesPerSide; ++i) {
            const Piece& piece = pieceOf(position, side, i);
            if (piece.column == -1) continue;
            const bool gliding = glide != nullptr && glide->side == side && glide->index == i;
            const Vec3 foot =
                gliding ? glide->at : squareCentre(piece.column, piece.row, rules.columns);
            visit(piece, placePiece(piece, foot), side * rules.piecesPerSide + i);
        }
    }
}

// The screen the backdrop is painted across; none leaves the frame as it is.
struct BackdropSize {
    bool shown;
    float width, height;
};

void drawSceneBehind(const Position& position, int ruleSet, const PieceGlide* glide,
                     BackdropSize backdrop) {
    const RuleVariant& rules = ruleVariants[ruleSet];
    Mesh& board = boardMeshOf(ruleSet);
    updateCamera();
    lightMeshFaces(board, SceneLight, 0);
    drawMesh(board);
    // The board is opaque and writes every pixel it covers with a depth nearer
    // than the far plane, where the backdrop lies: painted now, the backdrop
    // fills exactly the pixels it would have kept when painted first. The
    // shadows blend over both, so they come after it.
    if (backdrop.shown) drawBackdrop(BackdropTexture, backdrop.width, backdrop.height);

    // Every shadow before any piece, so that no shadow is laid over a piece.
    forEachPlacedPiece(position, rules, glide, [](const Piece& piece, Mesh& mesh, int slot) {
        ShadowZBias = piece.king == 1 ? 3 : 2;
        drawShadow(mesh, SceneLight, *ShadowPlaneMesh, keptSilhouette(mesh, SceneLight, slot));
    });
    forEachPlacedPiece(position, rules, glide, [](const Piece&, Mesh& mesh, int) {
        lightMeshFaces(mesh, SceneLight, 0);
        drawMesh(mesh);
    });
}

} // namespace

Vec3 squareCentre(int column, int row, int columns) {
    const int half = columns / 2;
    return {static_cast<float>((column - half) * 512 + 256), 0.0f,
            static_cast<float>((row - half) * 512 + 256)};
}

void lightMeshFaces(Mesh& mesh, const Vec3& light, int slot) {
    matFromPose(mesh, CombinedMatrix);
    for (int i = 0; i < mesh.vertexCount; ++i) projectVertex(mesh.vertices[i]);
    for (int f = 0; f < mesh.faceCount; ++f) {
        MeshFace& face = mesh.faces[f];
        Vec3 worldNormal;
        transformDirection({face.normalX, face.normalY, face.normalZ}, worldNormal);
        face.viewNormalX = worldNormal.x;
        face.viewNormalY = worldNormal.y;
        face.viewNormalZ = worldNormal.z;
        const MeshVertex &a = *face.vertexA, &b = *face.vertexB, &c = *face.vertexC;
        const Vec3 centroid = {(a.viewX + b.viewX + c.viewX) / 3.0f,
                               (a.viewY + b.viewY + c.viewY) / 3.0f,
                               (a.viewZ + b.viewZ + c.viewZ) / 3.0f};
        Vec3 d = vecSub(centroid, light);
        vecNormalize(d);
        const float k = vecDot(d, worldNormal);
        face.litFlags[slot] = k < 0.0f ? 0 : 1;
        face.intensity = k < 0.0f ? 0.0f : (k > 1.0f ? 1.0f : k);
    }
}

Mesh& boardMeshOf(int ruleSet) {
    Mesh* board = ruleVariants[ruleSet].columns == 10 ? BoardMesh10 : BoardMesh8;
    assert(board != nullptr && "resources are loaded before any scene is drawn");
    return *board;
}

void drawScene(const Position& position, int ruleSet, const PieceGlide* glide) {
    drawSceneBehind(position, ruleSet, glide, BackdropSize{false, 0.0f, 0.0f});
}

void drawSceneWithBackdrop(const Position& position, int ruleSet, float width, float height,
                           const PieceGlide* glide) {
    drawSceneBehind(position, ruleSet, glide, BackdropSize{true, width, height});
}
