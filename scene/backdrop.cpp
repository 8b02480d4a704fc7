// The spherical backdrop: rays through a 33 x 33 grid over the screen become
// texture coordinates on a sphere around the viewer and a fog value, painted
// as 32 x 32 quads with the texture added to the fog's grey, behind whatever
// the frame holds already. The grid is scratch of one drawBackdrop call.
#include "scene/backdrop.h"

#include "platform/platform.h"
#include "render/camera.h"
#include "render/mesh_renderer.h"
#include "render/textures.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int GridCells = 32;
constexpr float SphereOffset = 0.909090877f; // the sphere's centre sits below the viewer
constexpr double AngleScale = 0.31830914183855363;
constexpr float TextureRepeat = 5.0f;

// Scratch of one drawBackdrop call, indexed i across and j down.
BackdropSample backdropGrid[GridCells + 1][GridCells + 1];

TLVertex gridVertex(float x, float y, const BackdropSample& sample) {
    const uint32_t g = static_cast<uint32_t>(255.0f * sample.fog);
    // On the far plane, behind anything drawn, whatever depth bias is set; the
    // depth test against it skips what is drawn already. Perspective is off:
    // one rhw serves all.
    return TLVertex{x, y, 1.0f, 1.0f, 0xFF000000u | g << 16 | g << 8 | g, sample.u, sample.v};
}

void drawBackdropGrid(int texture, float width, float height) {
    const float cw = width / GridCells, ch = height / GridCells;
    setOpaqueStatesFiltered();
    setTextureStageState(0, TSS_COLOROP, TOP_ADD);
    setRenderState(RS_TEXTUREPERSPECTIVE, 0);
    setRenderState(RS_ZENABLE, 1);
    setRenderState(RS_ZWRITEENABLE, 0);
    setTextureStageState(0, TSS_ADDRESS, TADDRESS_MIRROR);
    bindTexture(texture);
    static TLVertex triangles[GridCells * GridCells * 6];
    int n = 0;
    for (int r = 0; r < GridCells; ++r) {
        for (int c = 0; c < GridCells; ++c) {
            // The last column and row end exactly on the screen's edges.
            const float x0 = r * cw, x1 = r + 1 == GridCells ? width : (r + 1) * cw;
            const float y0 = c * ch, y1 = c + 1 == GridCells ? height : (c + 1) * ch;
            const TLVertex a = gridVertex(x0, y0, backdropGrid[r][c]);
            const TLVertex b = gridVertex(x1, y0, backdropGrid[r + 1][c]);
            const TLVertex d = gridVertex(x1, y1, backdropGrid[r + 1][c + 1]);
            const TLVertex e = gridVertex(x0, y1, backdropGrid[r][c + 1]);
            // The quad's fan a-b-d-e as two triangles.
            triangles[n++] = a, triangles[n++] = b, triangles[n++] = d;
            triangles[n++] = a, triangles[n++] = d, triangles[n++] = e;
        }
    }
    drawPrimitive(triangles, n);
    // The board and pieces drawn next need the depth buffer and perspective
    // back, or nearer pieces could be painted over by farther ones.
    setRenderState(RS_TEXTUREPERSPECTIVE, 1);
    setRenderState(RS_ZENABLE, 1);
    setRenderState(RS_ZWRITEENABLE, 1);
}

} // namespace

void buildBackdropRotation() {
    const int a = -CameraRoll;
    Matrix4 roll;
    matIdentity(roll);
    roll.m[0] = cosineOf(a), roll.m[1] = sineOf(a);
    roll.m[4] = -sineOf(a), roll.m[5] = cosineOf(a);

    Vec3 forward = vecSub(CameraTarget, CameraEye);
    vecNormalize(forward);
    Vec3 right, up;
    if (forward.x == 0.0f && forward.z == 0.0f) {
        right = {forward.y > 0.0f ? -1.0f : 1.0f, 0.0f, 0.0f};
    } else {
        vecCross({0.0f, 1.0f, 0.0f}, forward, right);
    }
    vecNormalize(right);
    vecCross(forward, right, up);
    vecNormalize(up);

    Matrix4 orientation;
    matIdentity(orientation);
    const Vec3 rows[3] = {right, up, forward};
    for (int r = 0; r < 3; ++r) {
        orientation.m[4 * r] = rows[r].x;
        orientation.m[4 * r + 1] = rows[r].y;
        orientation.m[4 * r + 2] = rows[r].z;
    }
    matMultiplyAffine(roll, orientation, CombinedMatrix);
}

float backdropRayParameter(float radius, const Vec3& origin, const Vec3& direction) {
    const float a = vecDot(direction, direction);
    const float k = vecDot(origin, direction);
    const float c = vecDot(origin, origin) - radius * radius;
    const float s = std::sqrt(k * k - 4.0f * a * c);
    const float t1 = (k - s) / (2.0f * a);
    const float t2 = (k + s) / (2.0f * a);
    if (t2 > 0.0f) return t2;
    if (t1 > 0.0f) return t1;
    return k;
}

BackdropSample sampleBackdrop(const Vec3& direction, float r) {
    const Vec3 origin = {0.0f, SphereOffset * r, 0.0f};
    const float t = backdropRayParameter(r, origin, direction);
    const Vec3 p = {t * direction.x, t * direction.y, t * direction.z};
    const float distance = vecLength(p.x, p.y, p.z);
    const float fogStart = 0.4f * r, fogEnd = 0.7f * r;
    float fog;
    if (distance < fogStart) {
        fog = 0.0f;
    } else if (distance > fogEnd) {
        fog = 1.0f;
    } else {
        fog = std::fmin((distance - fogStart) / (fogEnd - fogStart), 1.0f);
    }
    // Clamped so that a ray grazing the sphere cannot take the arcsine out of its domain.
    const float theta = static_cast<float>(std::asin(std::clamp(p.x / r, -1.0f, 1.0f)));
    const double u = theta * AngleScale;
    const double v = std::asin(std::clamp(p.z / (r * std::cos(theta)), -1.0f, 1.0f)) * AngleScale;
    return {static_cast<float>(u), static_cast<float>(v), fog * fog};
}

void drawBackdrop(int texture, float width, float height) {
    buildBackdropRotation();
    for (int i = 0; i <= GridCells; ++i) {
        for (int j = 0; j <= GridCells; ++j) {
            struct {
                float x, y, z;
                float viewX = 0, viewY = 0, viewZ = 0, rhw = 0, depth = 0, screenX = 0, screenY = 0;
            } ray = {(i - 16) * width / GridCells, (j - 16) * height / GridCells, FocalLength};
            projectVertex(ray);
            BackdropSample sample = sampleBackdrop({ray.viewX, ray.viewY, ray.viewZ}, FarDistance);
            sample.u *= TextureRepeat;
            sample.v *= TextureRepeat;
            backdropGrid[i][j] = sample;
        }
    }
    drawBackdropGrid(texture, width, height);
}
