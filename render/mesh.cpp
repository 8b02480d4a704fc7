// The procedural mesh builders and the five shared meshes, which
// buildGameMeshes makes at every resource load (releasing the previous set).
#include "render/mesh.h"

#include <cassert>
#include <cmath>
#include <initializer_list>

Mesh* BoardMesh10 = nullptr;
Mesh* BoardMesh8 = nullptr;
Mesh* ShadowPlaneMesh = nullptr;
Mesh* ManMesh = nullptr;
Mesh* KingMesh = nullptr;

namespace {

Mesh* allocateMesh(int vertexCount, int faceCount) {
    Mesh* mesh = new Mesh{};
    mesh->vertexCount = vertexCount;
    mesh->faceCount = faceCount;
    mesh->vertices = new MeshVertex[vertexCount]{};
    mesh->faces = new MeshFace[faceCount]{};
    return mesh;
}

void dressFaces(Mesh& mesh, int first, int count, int material, int deferred) {
    for (int f = first; f < first + count; ++f) {
        MeshFace& face = mesh.faces[f];
        face.material = material;
        face.deferred = deferred;
        face.litFlags[0] = 1;
        face.intensity = 1.0f;
    }
}

// The frame's long inner edges meet the squares' corners in T-junctions,
// which can leave single-pixel cracks along the seam. The frame is therefore
// slid a little under the squares and dropped just below them, so a seam
// pixel shows frame and the squares win the depth test where both lie.
constexpr float FrameOverlap = 24.0f; // world units the frame reaches under the squares
constexpr float FrameDrop = 6.0f;     // world units below the board surface (+y is down)

void tuckFrameUnderSquares(Mesh& board, int n) {
    for (int k = 0; k < 8; ++k) {
        MeshVertex& v = board.vertices[n * n + k];
        v.y += FrameDrop;
        if (k < 4) { // the inner square
            v.x -= v.x > 0 ? FrameOverlap : -FrameOverlap;
            v.z -= v.z > 0 ? FrameOverlap : -FrameOverlap;
        }
    }
}

} // namespace

void releaseMesh(Mesh* mesh) {
    if (mesh == nullptr) return;
    delete[] mesh->vertices;
    delete[] mesh->faces;
    delete mesh;
}

void addQuad(int faceIndex, int a, int b, int c, int d, Mesh& mesh) {
    assert(faceIndex >= 0 && faceIndex + 1 < mesh.faceCount);
    MeshVertex* v = mesh.vertices;
    MeshFace& first = mesh.faces[faceIndex];
    first.vertexA = &v[a];
    first.vertexB = &v[b];
    first.vertexC = &v[c];
    first.uA = 0.0f, first.vA = 0.0f, first.uB = 0.0f, first.vB = 1.0f, first.uC = 1.0f,
    first.vC = 1.0f;
    MeshFace& second = mesh.faces[faceIndex + 1];
    second.vertexA = &v[a];
    second.vertexB = &v[c];
    second.vertexC = &v[d];
    second.uA = 0.0f, second.vA = 0.0f, second.uB = 1.0f, second.vB = 1.0f, second.uC = 1.0f,
    second.vC = 0.0f;
}

Mesh* buildGridMesh(int cellX, int cellZ, int n, int materialEven, int materialOdd,
                    int materialBorder, int deferred, int withBorder) {
    assert(n >= 1 && (withBorder == 0 || withBorder == 1));
    const int gridFaces = 2 * (n - 1) * (n - 1);
    Mesh* mesh = allocateMesh(n * n + 8 * withBorder, gridFaces + 8 * withBorder);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            MeshVertex& v = mesh->vertices[r * n + c];
            v.x = static_cast<float>((c - n / 2) * cellX);
            v.z = static_cast<float>((r - n / 2) * cellZ);
        }
    }
    int f = 0;
    for (int r = 0; r + 1 < n; ++r) {
        for (int c = 0; c + 1 < n; ++c, f += 2) {
            addQuad(f, (r + 1) * n + c, (r + 1) * n + c + 1, r * n + c + 1, r * n + c, *mesh);
            dressFaces(*mesh, f, 2, (r + c) % 2 == 0 ? materialEven : materialOdd, deferred);
        }
    }
    if (withBorder == 1) {
        const int h = (n - 1) / 2;
        const int corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (int k = 0; k < 4; ++k) {
            MeshVertex& inner = mesh->vertices[n * n + k];
            inner.x = static_cast<float>(corners[k][0] * h * cellX);
            inner.z = static_cast<float>(corners[k][1] * h * cellZ);
            MeshVertex& outer = mesh->vertices[n * n + 4 + k];
            outer.x = static_cast<float>(corners[k][0] * (h + 1) * cellX);
            outer.z = static_cast<float>(corners[k][1] * (h + 1) * cellZ);
        }
        const int i0 = n * n, o0 = n * n + 4;
        for (int k = 0; k < 4; ++k) {
            const int next = (k + 1) % 4;
            addQuad(gridFaces + 2 * k, i0 + k, i0 + next, o0 + next, o0 + k, *mesh);
        }
        dressFaces(*mesh, gridFaces, 8, materialBorder, deferred);
    }
    computeNormals(*mesh);
    return mesh;
}

Mesh* buildCylinderMesh(int segments, int materialSide, float radius, float halfHeight,
                        int materialCap) {
    assert(segments >= 3);
    const int s = segments;
    Mesh* mesh = allocateMesh(2 * s + 2, 4 * s);
    MeshVertex* v = mesh->vertices;
    v[0].y = halfHeight;
    v[1].y = -halfHeight;
    v[0].u = v[0].v = v[1].u = v[1].v = 0.5f;
    for (int i = 0; i < s; ++i) {
        // The turn is the constant the pieces were shaped with, not 2 pi.
        const double t = i * 6.28318 / s;
        const float x = static_cast<float>(std::cos(t) * radius);
        const float z = static_cast<float>(std::sin(t) * radius);
        const float u = (x / radius + 1.0f) * 0.5f;
        const float w = (z / radius + 1.0f) * 0.5f;
        v[2 + i] = MeshVertex{};
        v[2 + i].x = x, v[2 + i].y = halfHeight, v[2 + i].z = z, v[2 + i].u = u, v[2 + i].v = w;
        v[s + 2 + i] = v[2 + i];
        v[s + 2 + i].y = -halfHeight;
    }
    for (int i = 0; i < s; ++i) {
        const int k = (i + 1) % s;
        MeshFace& upper = mesh->faces[2 * i];
        upper.vertexA = &v[2 + i];
        upper.vertexB = &v[s + 2 + k];
        upper.vertexC = &v[2 + k];
        upper.uA = 0, upper.vA = 0, upper.uB = 1, upper.vB = 1, upper.uC = 0, upper.vC = 1;
        MeshFace& lower = mesh->faces[2 * i + 1];
        lower.vertexA = &v[2 + i];
        lower.vertexB = &v[s + 2 + i];
        lower.vertexC = &v[s + 2 + k];
        lower.uA = 0, lower.vA = 0, lower.uB = 1, lower.vB = 0, lower.uC = 1, lower.vC = 1;
        upper.material = lower.material = materialSide;

        MeshFace& capPlus = mesh->faces[2 * s + i];
        capPlus.vertexA = &v[0];
        capPlus.vertexB = &v[2 + i];
        capPlus.vertexC = &v[2 + k];
        MeshFace& capMinus = mesh->faces[3 * s + i];
        capMinus.vertexA = &v[1];
        capMinus.vertexB = &v[s + 2 + k];
        capMinus.vertexC = &v[s + 2 + i];
        for (MeshFace* cap : {&capPlus, &capMinus}) {
            cap->material = materialCap;
            cap->uA = cap->vertexA->u, cap->vA = cap->vertexA->v;
            cap->uB = cap->vertexB->u, cap->vB = cap->vertexB->v;
            cap->uC = cap->vertexC->u, cap->vC = cap->vertexC->v;
        }
    }
    computeNormals(*mesh);
    return mesh;
}

void setMeshMaterial(Mesh& mesh, int material) {
    for (int f = 0; f < mesh.faceCount; ++f) mesh.faces[f].material = material;
}

void computeNormals(Mesh& mesh) {
    for (int i = 0; i < mesh.vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        v.normalX = v.normalY = v.normalZ = 0.0f;
        v.normalCount = 0;
    }
    for (int f = 0; f < mesh.faceCount; ++f) {
        MeshFace& face = mesh.faces[f];
        const MeshVertex& a = *face.vertexA;
        const Vec3 e1 = {face.vertexB->x - a.x, face.vertexB->y - a.y, face.vertexB->z - a.z};
        const Vec3 e2 = {face.vertexC->x - a.x, face.vertexC->y - a.y, face.vertexC->z - a.z};
        Vec3 normal;
        vecCross(e1, e2, normal);
        vecNormalize(normal);
        face.normalX = normal.x, face.normalY = normal.y, face.normalZ = normal.z;
        // A face of no area has no direction; it must not bend its corners' normals.
        if (normal.x == 0.0f && normal.y == 0.0f && normal.z == 0.0f) continue;
        for (MeshVertex* corner : {face.vertexA, face.vertexB, face.vertexC}) {
            corner->normalX += normal.x;
            corner->normalY += normal.y;
            corner->normalZ += normal.z;
            corner->normalCount += 1;
        }
    }
    for (int i = 0; i < mesh.vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        if (v.normalCount == 0) continue;
        const float count = static_cast<float>(v.normalCount);
        Vec3 normal = {v.normalX / count, v.normalY / count, v.normalZ / count};
        vecNormalize(normal);
        v.normalX = normal.x, v.normalY = normal.y, v.normalZ = normal.z;
    }
}

void buildGameMeshes() {
    for (Mesh** slot : {&BoardMesh10, &BoardMesh8, &ShadowPlaneMesh, &ManMesh, &KingMesh}) {
        releaseMesh(*slot);
        *slot = nullptr;
    }
    BoardMesh10 = buildGridMesh(512, 512, 11, 1, 0, 2, 0, 1);
    BoardMesh8 = buildGridMesh(512, 512, 9, 1, 0, 2, 0, 1);
    tuckFrameUnderSquares(*BoardMesh10, 11);
    tuckFrameUnderSquares(*BoardMesh8, 9);
    ShadowPlaneMesh = buildGridMesh(3072, 3072, 1, 0, 1, 3, 0, 1);
    ManMesh = buildCylinderMesh(16, 0, 200.0f, 32.0f, 0);
    KingMesh = buildCylinderMesh(16, 0, 200.0f, 100.0f, 0);
    ManMesh->posY = -170.0f;
}
