// Meshes: a pose, vertices and triangular faces whose corners point into the
// vertex array, built procedurally (square grids with an optional frame, and
// closed cylinders). Vertices and faces also carry the per-frame projection
// and lighting results that the renderer and the scene write into them.
// The five shared meshes are (re)built by resource loading and never changed
// in shape afterwards; the scene moves and dresses them every frame.
#pragma once

#include "render/camera.h"
#include "render/math.h"

#include <cstdint>

struct MeshVertex {
    float x, y, z;                   // model space
    float u, v;                      // the vertex's own texture coordinates (cylinders; shadows)
    float viewX, viewY, viewZ;       // projection results, rewritten on every projection
    float rhw, depth;                // 1 / viewZ and the depth-buffer value
    float screenX, screenY;          // pixels (texels during the shadow pass)
    float normalX, normalY, normalZ; // unit vertex normal in model space
    int32_t normalCount;             // faces that touched the vertex in computeNormals
    float red, green, blue;          // vertex colour 0..1, written by drawMesh
};

struct MeshFace {
    MeshVertex *vertexA, *vertexB, *vertexC;     // corners in the same mesh's array
    float normalX, normalY, normalZ;             // unit face normal in model space
    float viewNormalX, viewNormalY, viewNormalZ; // the normal turned into the world by lighting
    float intensity;                             // 0..1, from the face lighting
    int32_t material;                            // TextureTable index; negative: no texture
    int8_t litFlags[4];                          // slot 0: 1 lit, 0 in the dark
    float uA, vA, uB, vB, uC, vC;                // texture coordinates per corner
    int32_t deferred;                            // nonzero: drawn in the blended pass
};

// Begins with its pose so that matFromPose and lookAtFrom take it directly.
struct Mesh : Pose {
    int32_t vertexCount;   // fixed after building
    int32_t faceCount;     // fixed after building
    MeshVertex* vertices;  // owned by the mesh
    MeshFace* faces;       // owned by the mesh
    int32_t shadowTexture; // which shadow texture takes its silhouette (0 or 1)
};

// The meshes of the game: built by buildGameMeshes (resource loading), the
// previous set released first. Null until the first load.
extern Mesh* BoardMesh10;     // 10x10 squares and a frame
extern Mesh* BoardMesh8;      // 8x8 squares and a frame
extern Mesh* ShadowPlaneMesh; // the plate at y = 0 that receives the shadows; never drawn
extern Mesh* ManMesh;         // 16-sided disc, radius 200, 64 thick
extern Mesh* KingMesh;        // the same, 200 thick

// n grid vertices a side (n - 1 cells), cells alternating materialEven and
// materialOdd, and with withBorder 1 a one-cell frame of materialBorder.
Mesh* buildGridMesh(int cellX, int cellZ, int n, int materialEven, int materialOdd,
                    int materialBorder, int deferred, int withBorder);
// A closed cylinder about the y axis, centred on the origin.
Mesh* buildCylinderMesh(int segments, int materialSide, float radius, float halfHeight,
                        int materialCap);
void releaseMesh(Mesh* mesh);
void setMeshMaterial(Mesh& mesh, int material);
// Two faces (a, b, c) and (a, c, d) at faceIndex and faceIndex + 1.
void addQuad(int faceIndex, int a, int b, int c, int d, Mesh& mesh);
void computeNormals(Mesh& mesh);
// Releases the previous five meshes and builds them again; the boards' frames
// are tucked a little under their squares so that the seam never cracks.
void buildGameMeshes();
