// The shadow patch on the ground: projector, projection onto receiver faces,
// clipping to each face and drawing. The projector and the clip list are
// scratch of one drawShadow call, rewritten for every shadow.
#include "scene/shadow_projection.h"

#include "platform/platform.h"
#include "render/mesh_renderer.h"
#include "render/textures.h"
#include "scene/scene.h"
#include "scene/shadow_texture.h"

#include <cassert>

namespace {

// Scratch of one drawShadow call, rewritten for every shadow.
ShadowProjector projector; // the patch of the shadow being drawn
ShadowClipList clipList;   // one projector triangle on one receiver face

Vec3 worldOf(const MeshVertex& v) {
    return {v.viewX, v.viewY, v.viewZ};
}
Vec3 positionOf(const MeshVertex& v) {
    return {v.x, v.y, v.z};
}
Vec3 faceNormal(const MeshFace& face) {
    return {face.normalX, face.normalY, face.normalZ};
}
Vec3 along(const Vec3& from, const Vec3& direction, float t) {
    return {from.x + direction.x * t, from.y + direction.y * t, from.z + direction.z * t};
}

int appendVertex(ShadowClipList& list, const Vec3& position, float u, float v) {
    assert(list.vertexCount < 17);
    MeshVertex& vertex = list.pool[list.vertexCount];
    vertex = MeshVertex{};
    vertex.x = position.x, vertex.y = position.y, vertex.z = position.z;
    vertex.u = u, vertex.v = v;
    return list.vertexCount++;
}

void appendTriangle(ShadowClipList& list, int a, int b, int c) {
    assert(list.triangleCount < 15);
    list.triangles[list.triangleCount++] = ClipTriangle{{a, b, c}, false};
}

} // namespace

void buildShadowProjector(const Vec3& light, const Mesh& mesh, ShadowProjector& out) {
    const Vec3 p = {mesh.posX, mesh.posY, mesh.posZ};
    Vec3 d = vecSub(p, light);
    Vec3 r, v;
    vecCross(d, {0.0f, 1.0f, 0.0f}, r);
    vecCross(d, r, v);
    vecNormalize(r);
    vecNormalize(v);
    vecNormalize(d);
    out.direction = d;
    const float rho = static_cast<float>(ShadowRadius[mesh.shadowTexture]);
    // Corners c0..c3 at (-,-), (+,-), (+,+), (-,+) along R and V.
    auto corner = [&](float sr, float sv) {
        return Vec3{p.x + sr * rho * r.x + sv * rho * v.x, p.y + sr * rho * r.y + sv * rho * v.y,
                    p.z + sr * rho * r.z + sv * rho * v.z};
    };
    const Vec3 c0 = corner(-1, -1), c1 = corner(1, -1), c2 = corner(1, 1), c3 = corner(-1, 1);
    for (int j = 0; j < 4; ++j) {
        for (int i = 0; i < 4; ++i) {
            const float fi = static_cast<float>(i) / 3.0f, fj = static_cast<float>(j) / 3.0f;
            const Vec3 a = along(c0, vecSub(c1, c0), fi);
            const Vec3 b = along(c3, vecSub(c2, c3), fi);
            const Vec3 position = along(a, vecSub(b, a), fj);
            MeshVertex& vertex = out.vertices[4 * j + i];
            vertex = MeshVertex{};
            vertex.x = position.x, vertex.y = position.y, vertex.z = position.z;
            vertex.u = fi, vertex.v = fj;
        }
    }
    int t = 0;
    for (int j = 0; j < 3; ++j) {
        for (int i = 0; i < 3; ++i) {
            const int a = 4 * j + i, b = 4 * j + i + 1, c = 4 * (j + 1) + i + 1,
                      e = 4 * (j + 1) + i;
            out.triangles[t][0] = a, out.triangles[t][1] = b, out.triangles[t][2] = c, ++t;
            out.triangles[t][0] = a, out.triangles[t][1] = c, out.triangles[t][2] = e, ++t;
        }
    }
}

void projectOntoFace(const MeshVertex* const triangle[3], const MeshFace& face, const Vec3& light,
                     ShadowClipList& list) {
    list.vertexCount = 0;
    list.triangleCount = 0;
    const Vec3 n = faceNormal(face);
    const float d = -vecDot(n, worldOf(*face.vertexA));
    const float sL = vecDot(n, light) + d;
    Vec3 projected[3];
    for (int k = 0; k < 3; ++k) {
        const Vec3 dp = vecSub(positionOf(*triangle[k]), light);
        const float t = -sL / vecDot(n, dp);
        // Behind the light (or parallel to the face): this face gets none of it.
        if (!(t >= 0.0f)) return;
        projected[k] = along(light, dp, t);
    }
    for (int k = 0; k < 3; ++k) appendVertex(list, projected[k], triangle[k]->u, triangle[k]->v);
    appendTriangle(list, 0, 1, 2);
    clipListByEdge(*face.vertexA, *face.vertexB, face, list);
    clipListByEdge(*face.vertexB, *face.vertexC, face, list);
    clipListByEdge(*face.vertexC, *face.vertexA, face, list);
}

void clipListByEdge(const MeshVertex& a, const MeshVertex& b, const MeshFace& face,
                    ShadowClipList& list) {
    const Vec3 edge = vecSub(worldOf(b), worldOf(a));
    Vec3 m;
    vecCross(faceNormal(face), edge, m);
    const Vec3 point = worldOf(a);
    const int count = list.triangleCount; // pieces appended now are already inside this edge
    for (int t = 0; t < count; ++t) {
        if (list.triangles[t].dead) continue;
        if (clipTriangleByPlane(t, point, m, list) < 3) list.triangles[t].dead = true;
    }
}

int clipTriangleByPlane(int triangle, const Vec3& point, const Vec3& normal, ShadowClipList& list) {
    const int* corner = list.triangles[triangle].corner;
    const float dA = -vecDot(normal, point);
    float s[3];
    int inside = 0;
    for (int k = 0; k < 3; ++k) {
        s[k] = vecDot(normal, positionOf(list.pool[corner[k]])) + dA;
        if (s[k] > 0.0f) ++inside; // on the plane counts as outside
    }
    if (inside == 0 || inside == 3) return inside;
    // X is the lone corner: the inside one, or the outside one of two inside.
    int x = 0;
    for (int k = 0; k < 3; ++k) {
        if ((s[k] > 0.0f) == (inside == 1)) x = k;
    }
    const int ix = corner[x], iy = corner[(x + 1) % 3], iz = corner[(x + 2) % 3];
    const MeshVertex &vx = list.pool[ix], &vy = list.pool[iy], &vz = list.pool[iz];
    const Vec3 px = positionOf(vx);
    const Vec3 toY = vecSub(positionOf(vy), px), toZ = vecSub(positionOf(vz), px);
    const float t1 = -s[x] / vecDot(normal, toY);
    const float t2 = -s[x] / vecDot(normal, toZ);
    const int i1 = appendVertex(list, along(px, toY, t1), vx.u + (vy.u - vx.u) * t1,
                                vx.v + (vy.v - vx.v) * t1);
    const int i2 = appendVertex(list, along(px, toZ, t2), vx.u + (vz.u - vx.u) * t2,
                                vx.v + (vz.v - vx.v) * t2);
    if (inside == 1) {
        appendTriangle(list, ix, i1, i2);
    } else {
        appendTriangle(list, i1, iy, iz);
        appendTriangle(list, iz, i2, i1);
    }
    return inside;
}

void drawClipList(Surface* texture, ShadowClipList& list) {
    if (list.triangleCount == 0) return;
    for (int k = 0; k < list.vertexCount; ++k) projectVertex(list.pool[k]);
    setTexture(0, texture);
    setRenderState(RS_ZBIAS, static_cast<uint32_t>(ShadowZBias));
    for (int t = 0; t < list.triangleCount; ++t) {
        const ClipTriangle& triangle = list.triangles[t];
        if (triangle.dead) continue;
        drawShadowTriangle(list.pool[triangle.corner[0]], list.pool[triangle.corner[1]],
                           list.pool[triangle.corner[2]]);
    }
    setRenderState(RS_ZBIAS, DefaultZBias);
}

void drawShadow(Mesh& mesh, const Vec3& light, Mesh& receiver, Surface* texture) {
    if (texture == nullptr) texture = ShadowTextures[mesh.shadowTexture];
    Matrix4 receiverModel;
    matFromPose(receiver, receiverModel);
    for (int k = 0; k < receiver.vertexCount; ++k)
        projectPoint(receiver.vertices[k], receiverModel);
    buildShadowProjector(light, mesh, projector);
    CombinedMatrix = ViewMatrix;
    setBlendedStates();
    const Vec3 n = projector.direction;
    const float d = -vecDot(n, {mesh.posX, mesh.posY, mesh.posZ});
    setRenderState(RS_ZBIAS, 2);
    for (int f = 0; f < receiver.faceCount; ++f) {
        const MeshFace& face = receiver.faces[f];
        const MeshVertex* corners[3] = {face.vertexA, face.vertexB, face.vertexC};
        int beyond = 0;
        Vec3 centroid = {0.0f, 0.0f, 0.0f};
        for (const MeshVertex* corner : corners) {
            const Vec3 w = worldOf(*corner);
            if (vecDot(n, w) + d > 0.0f) ++beyond;
            centroid = {centroid.x + w.x / 3.0f, centroid.y + w.y / 3.0f, centroid.z + w.z / 3.0f};
        }
        if (beyond == 0) continue; // wholly on the light's side of the piece
        if (!(vecDot(vecSub(light, centroid), faceNormal(face)) < 0.0f)) continue;
        for (const auto& triangle : projector.triangles) {
            const MeshVertex* const corners3[3] = {&projector.vertices[triangle[0]],
                                                   &projector.vertices[triangle[1]],
                                                   &projector.vertices[triangle[2]]};
            projectOntoFace(corners3, face, light, clipList);
            drawClipList(texture, clipList);
        }
    }
    setRenderState(RS_ZBIAS, DefaultZBias);
}
