// The shadow silhouette pass: sees a piece from the light, fits its outline
// into a shadow texture and fills it flat. ShadowRadius is written here, for
// each texture, just before the projection reads it; the kept silhouettes
// (one texture per piece slot) are written only by keptSilhouette.
#include "scene/shadow_texture.h"

#include "platform/platform.h"
#include "render/camera.h"
#include "render/textures.h"
#include "scene/scene.h"

#include <algorithm>
#include <bit>
#include <cassert>

int ShadowRadius[2] = {0, 0};

namespace {

// Everything a silhouette is painted from; floats by their bits, so that
// equal keys paint equal texels.
struct SilhouetteKey {
    const Mesh* mesh;
    const MeshVertex* vertices; // a rebuilt mesh may come back at the same address
    int32_t vertexCount, faceCount;
    uint32_t pose[6]; // position bits and angles
    uint32_t light[3];
    uint32_t colour;
    int32_t side;
    bool operator==(const SilhouetteKey&) const = default;
};

SilhouetteKey silhouetteKeyOf(const Mesh& mesh, const Vec3& light) {
    return SilhouetteKey{&mesh,
                         mesh.vertices,
                         mesh.vertexCount,
                         mesh.faceCount,
                         {std::bit_cast<uint32_t>(mesh.posX), std::bit_cast<uint32_t>(mesh.posY),
                          std::bit_cast<uint32_t>(mesh.posZ), static_cast<uint32_t>(mesh.angleX),
                          static_cast<uint32_t>(mesh.angleY), static_cast<uint32_t>(mesh.angleZ)},
                         {std::bit_cast<uint32_t>(light.x), std::bit_cast<uint32_t>(light.y),
                          std::bit_cast<uint32_t>(light.z)},
                         ShadowColor,
                         ShadowTextureSide};
}

// A piece's silhouette kept from frame to frame: only a piece that moved (or
// a new colour, light or size) is painted again, and its texture's filter
// copy is not remade either.
struct KeptSilhouette {
    Surface* texture; // owned here; made at first use, released by releaseKeptSilhouettes
    int side;         // the texture's side
    bool painted;     // key and radius describe the texture's contents
    SilhouetteKey key;
    int radius;
};

KeptSilhouette keptSilhouettes[KeptSilhouetteSlots] = {}; // until releaseKeptSilhouettes

// Keeps an edge position within what a row can ever reach before it is
// truncated, so that a wild coordinate cannot overflow the conversion.
int texelColumn(float x) {
    return static_cast<int>(std::clamp(x, -1.0e6f, 1.0e6f));
}

void fillRow(float y, float left, float right, uint16_t colour, const ShadowCanvas& canvas) {
    const int n = canvas.side;
    if (!(y >= 0.0f && y < static_cast<float>(n))) return;
    // Every span is widened by 2.1 texels a side: the filtered edge of the
    // silhouette then softens outwards instead of eating into the shape.
    int xl = texelColumn(left - 2.1f);
    int xr = texelColumn(right + 2.1f);
    if (!(xl < n && xr > 0 && xl < xr)) return;
    xl = std::max(xl, 0);
    xr = std::min(xr, n);
    uint16_t* row = canvas.memory + static_cast<int>(y) * (canvas.pitch / 2);
    std::fill(row + xl, row + xr, colour);
}

struct EdgeWalk {
    float x;    // position on the current row
    float step; // change per row
};

// A short edge steps by dx itself when it is less than a row tall.
EdgeWalk shortEdge(const MeshVertex& from, const MeshVertex& to) {
    const float dy = to.screenY - from.screenY;
    const float dx = to.screenX - from.screenX;
    return {from.screenX, dy < 1.0f ? dx : dx / dy};
}

EdgeWalk longEdge(const MeshVertex& from, const MeshVertex& to) {
    const float dy = to.screenY - from.screenY;
    return {from.screenX, dy > 0.0f ? (to.screenX - from.screenX) / dy : 0.0f};
}

// Rows k = 0, 1, ... while k < height, from the half's own top y, unsnapped.
void fillHalf(float top, float height, EdgeWalk& left, EdgeWalk& right, uint16_t colour,
              const ShadowCanvas& canvas) {
    if (!(height > 0.15f)) return;
    float y = top;
    for (int k = 0; static_cast<float>(k) < height; ++k) {
        fillRow(y, left.x, right.x, colour, canvas);
        y += 1.0f;
        left.x += left.step;
        right.x += right.step;
    }
}

// Paints the silhouette into texture; its radius, 0 when nothing could be painted.
int paintSilhouette(Mesh& mesh, const Vec3& light, Surface* texture) {
    Matrix4 lightView, model;
    lookAtFrom(light, mesh, lightView);
    matFromPose(mesh, model);
    matMultiplyAffine(model, lightView, CombinedMatrix);
    ExtentOrigin = transformPoint({mesh.posX, mesh.posY, mesh.posZ}, lightView);

    LockedSurface locked{};
    // Nothing may be painted; a zero radius keeps the previous piece's
    // silhouette from being laid under this one.
    if (texture == nullptr || !lockSurfaceWhenReady(texture, locked)) return 0;
    const ShadowCanvas canvas = {locked.memory, locked.pitch, ShadowTextureSide};

    MaxExtentDistance = 0.0f;
    MaxExtentRadius = 0.0f;
    for (int i = 0; i < mesh.vertexCount; ++i) projectExtent(mesh.vertices[i]);

    const float half = static_cast<float>(canvas.side) / 2.0f;
    // A silhouette of no width (every vertex on the axis) collapses to the centre.
    const float scale = MaxExtentRadius > 0.0f ? half / MaxExtentRadius : 0.0f;
    for (int i = 0; i < mesh.vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        v.screenX = scale * v.screenX + half;
        v.screenY = scale * v.screenY + half;
    }
    for (int y = 0; y < canvas.side; ++y) {
        std::fill_n(canvas.memory + y * (canvas.pitch / 2), canvas.side, uint16_t{0});
    }
    for (int f = 0; f < mesh.faceCount; ++f) {
        const MeshFace& face = mesh.faces[f];
        if (face.vertexA->viewZ > 0.0f && face.vertexB->viewZ > 0.0f &&
            face.vertexC->viewZ > 0.0f) {
            rasterizeShadowTriangle(face, ShadowColor, canvas);
        }
    }
    unlockSurface(texture);
    return static_cast<int>(MaxExtentDistance);
}

// The slot's texture at the current side, made anew when the side changed.
Surface* slotTexture(KeptSilhouette& kept) {
    if (kept.texture != nullptr && kept.side == ShadowTextureSide) return kept.texture;
    if (kept.texture != nullptr) releaseSurface(kept.texture);
    kept.texture = createSurface(ShadowTextureSide, ShadowTextureSide, PixelFormat::Argb4444);
    kept.side = ShadowTextureSide;
    kept.painted = false;
    return kept.texture;
}

} // namespace

void rasterizeShadowTriangle(const MeshFace& face, uint16_t colour, const ShadowCanvas& canvas) {
    const MeshVertex* corners[3] = {face.vertexA, face.vertexB, face.vertexC};
    int top = 0;
    if (corners[1]->screenY < corners[top]->screenY) top = 1;
    if (corners[2]->screenY < corners[top]->screenY) top = 2;
    const MeshVertex& t = *corners[top];
    const MeshVertex& a = *corners[(top + 1) % 3];
    const MeshVertex& b = *corners[(top + 2) % 3];
    const float cross = (a.screenX - t.screenX) * (b.screenY - t.screenY) -
                        (a.screenY - t.screenY) * (b.screenX - t.screenX);
    if (cross < 0.0f) return; // seen from behind
    if (a.screenY > b.screenY) {
        // b is the middle corner: the long edge t->a runs on the right.
        EdgeWalk left = shortEdge(t, b);
        EdgeWalk right = longEdge(t, a);
        fillHalf(t.screenY, b.screenY - t.screenY, left, right, colour, canvas);
        left = shortEdge(b, a);
        fillHalf(b.screenY, a.screenY - b.screenY, left, right, colour, canvas);
    } else {
        // a is the middle corner: the long edge t->b runs on the left.
        EdgeWalk left = longEdge(t, b);
        EdgeWalk right = shortEdge(t, a);
        fillHalf(t.screenY, a.screenY - t.screenY, left, right, colour, canvas);
        right = shortEdge(a, b);
        fillHalf(a.screenY, b.screenY - a.screenY, left, right, colour, canvas);
    }
}

void renderShadowTexture(Mesh& mesh, const Vec3& light) {
    ShadowRadius[mesh.shadowTexture] =
        paintSilhouette(mesh, light, ShadowTextures[mesh.shadowTexture]);
}

Surface* keptSilhouette(Mesh& mesh, const Vec3& light, int slot) {
    assert(slot >= 0 && slot < KeptSilhouetteSlots);
    KeptSilhouette& kept = keptSilhouettes[slot];
    Surface* texture = slotTexture(kept);
    if (texture == nullptr) {
        // No memory for a texture of its own: painted into the shared one as before.
        renderShadowTexture(mesh, light);
        return ShadowTextures[mesh.shadowTexture];
    }
    const SilhouetteKey key = silhouetteKeyOf(mesh, light);
    if (!kept.painted || !(kept.key == key)) {
        kept.radius = paintSilhouette(mesh, light, texture);
        kept.key = key;
        kept.painted = kept.radius != 0;
    }
    ShadowRadius[mesh.shadowTexture] = kept.radius;
    return texture;
}

void releaseKeptSilhouettes() {
    for (KeptSilhouette& kept : keptSilhouettes) {
        if (kept.texture != nullptr) releaseSurface(kept.texture);
        kept = KeptSilhouette{};
    }
}
