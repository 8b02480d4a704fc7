// Lays a piece's shadow texture on the ground: a 3 x 3 patch through the
// piece facing the light is projected from the light onto every receiver
// face, clipped to it, and drawn translucently with a depth bias. All scratch
// lives in a ShadowClipList that is rewritten for every projector triangle.
#pragma once

#include "render/math.h"
#include "render/mesh.h"

struct Surface;

struct ShadowProjector {
    MeshVertex vertices[16]; // (i, j) at 4j + i: world position, u = i/3, v = j/3
    int triangles[18][3];    // two per cell, rows of cells outer
    Vec3 direction;          // from the light through the piece, unit length
};

struct ClipTriangle {
    int corner[3]; // pool indices
    bool dead;     // replaced by its clipped pieces
};

// One projector triangle: 3 + 2 + 4 + 8 vertices and 1 + 2 + 4 + 8 records at most.
struct ShadowClipList {
    MeshVertex pool[17];
    int vertexCount;
    ClipTriangle triangles[15];
    int triangleCount;
};

// Draws the mesh's shadow from the light onto the receiver (at the origin, unrotated),
// with the silhouette in texture (by default ShadowTextures[mesh.shadowTexture]).
void drawShadow(Mesh& mesh, const Vec3& light, Mesh& receiver, Surface* texture = nullptr);
void buildShadowProjector(const Vec3& light, const Mesh& mesh, ShadowProjector& out);
// Leaves in list the part of the triangle's projection that lies inside the face.
void projectOntoFace(const MeshVertex* const triangle[3], const MeshFace& face, const Vec3& light,
                     ShadowClipList& list);
void clipListByEdge(const MeshVertex& a, const MeshVertex& b, const MeshFace& face,
                    ShadowClipList& list);
// Number of the triangle's corners strictly inside the plane (0..3); with 1
// or 2 appends the inside piece(s) to the list.
int clipTriangleByPlane(int triangle, const Vec3& point, const Vec3& normal, ShadowClipList& list);
void drawClipList(Surface* texture, ShadowClipList& list);
