// The mesh renderer: CPU transform, projection and per-face shading, then one
// pre-transformed triangle per face. Keeps no state of its own besides the
// deferred-face list, rebuilt by every drawMesh.
#include "render/mesh_renderer.h"

#include "platform/platform.h"
#include "render/textures.h"

#include <cassert>

namespace {

void setStageStates(uint32_t alphaOperation) {
    setTextureStageState(0, TSS_ADDRESS, TADDRESS_MIRROR);
    setTextureStageState(0, TSS_COLORARG1, TA_TEXTURE);
    setTextureStageState(0, TSS_COLORARG2, TA_DIFFUSE);
    setTextureStageState(0, TSS_COLOROP, TOP_MODULATE);
    setTextureStageState(0, TSS_MINFILTER, TFILTER_LINEAR);
    setTextureStageState(0, TSS_MAGFILTER, TFILTER_LINEAR);
    setRenderState(RS_SRCBLEND, BLEND_SRCALPHA);
    setRenderState(RS_DESTBLEND, BLEND_INVSRCALPHA);
    setRenderState(RS_ALPHABLENDENABLE, alphaOperation == TOP_DISABLE ? 0 : 1);
    setTextureStageState(0, TSS_ALPHAARG1, TA_TEXTURE);
    setTextureStageState(0, TSS_ALPHAARG2, TA_CURRENT);
    setTextureStageState(0, TSS_ALPHAOP, alphaOperation);
}

// A channel of 0..1 divided by the face's shade divisor, truncated to a byte.
uint32_t shadeChannel(float q, float divisor) {
    return static_cast<uint32_t>(divisor > 1.0f ? q / divisor * 255.0f : q * 255.0f);
}

uint32_t cornerColour(const MeshVertex& v, float divisor) {
    return 0xFF000000u + shadeChannel(v.red, divisor) * 65536u +
           shadeChannel(v.green, divisor) * 256u + shadeChannel(v.blue, divisor);
}

TLVertex deviceVertex(const MeshVertex& v, uint32_t colour, float u, float tv) {
    return TLVertex{v.screenX, v.screenY, v.depth, v.rhw, colour, u, tv};
}

void drawFace(const MeshFace& face, float divisor) {
    const TLVertex corners[3] = {
        deviceVertex(*face.vertexA, cornerColour(*face.vertexA, divisor), face.uA, face.vA),
        deviceVertex(*face.vertexB, cornerColour(*face.vertexB, divisor), face.uB, face.vB),
        deviceVertex(*face.vertexC, cornerColour(*face.vertexC, divisor), face.uC, face.vC),
    };
    drawPrimitive(corners, 3);
}

// Unlit faces keep a fifth (a quarter when blended) of their texture's light.
float shadeDivisor(const MeshFace& face, float unlitDivisor) {
    if (face.litFlags[0] == 0) return unlitDivisor;
    if (face.litFlags[0] == 1) return 3.0f - 2.0f * face.intensity;
    return 1.0f;
}

bool allBeyondFar(const MeshFace& f) {
    return f.vertexA->viewZ > FarDistance && f.vertexB->viewZ > FarDistance &&
           f.vertexC->viewZ > FarDistance;
}

// Screen winding of a face whose corners are all in front of the eye.
bool facesViewer(const MeshFace& f) {
    const MeshVertex &a = *f.vertexA, &b = *f.vertexB, &c = *f.vertexC;
    const float w = (c.screenY - a.screenY) * (b.screenX - a.screenX) -
                    (c.screenX - a.screenX) * (b.screenY - a.screenY);
    return w > 0.0f;
}

// Faces of the blended pass, refilled by the opaque pass of every draw.
constexpr int MaxDeferredFaces = 4096;
int deferredFaces[MaxDeferredFaces];

} // namespace

void bindTexture(int material) {
    assert(material < TextureSlots);
    setTexture(0, material >= 0 ? TextureTable[material] : nullptr);
}

void setRenderStates() {
    setRenderState(RS_ZENABLE, 1);
    setRenderState(RS_ZWRITEENABLE, 1);
    // The source gets the inverse alpha and the destination the alpha; blending
    // stays off here, and the mesh renderer sets the pair the other way round.
    setRenderState(RS_SRCBLEND, BLEND_INVSRCALPHA);
    setRenderState(RS_DESTBLEND, BLEND_SRCALPHA);
}

void setOpaqueStatesFiltered() {
    setStageStates(TOP_DISABLE);
}
void setBlendedStates() {
    setStageStates(TOP_SELECTARG1);
}

void drawMesh(Mesh& mesh) {
    if (mesh.faceCount <= 0) return; // nothing to draw, and no first face to bind
    setOpaqueStatesFiltered();
    Matrix4 model;
    matFromPose(mesh, model);
    matMultiplyAffine(model, ViewMatrix, CombinedMatrix);
    for (int i = 0; i < mesh.vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        projectVertex(v);
        v.red = v.green = v.blue = 1.0f;
    }
    bindTexture(mesh.faces[0].material);

    int deferredCount = 0;
    for (int f = 0; f < mesh.faceCount; ++f) {
        const MeshFace& face = mesh.faces[f];
        if (face.deferred != 0) {
            assert(deferredCount < MaxDeferredFaces);
            if (deferredCount < MaxDeferredFaces) deferredFaces[deferredCount++] = f;
            continue;
        }
        if (face.vertexA->viewZ < 0 && face.vertexB->viewZ < 0 && face.vertexC->viewZ < 0) {
            continue;
        }
        if (allBeyondFar(face)) continue;
        bindTexture(face.material);
        drawFace(face, shadeDivisor(face, 5.0f));
    }

    setBlendedStates();
    bindTexture(mesh.faces[0].material + 32);
    for (int d = 0; d < deferredCount; ++d) {
        const MeshFace& face = mesh.faces[deferredFaces[d]];
        if (allBeyondFar(face)) continue;
        const bool anyInFront =
            face.vertexA->viewZ > 0 || face.vertexB->viewZ > 0 || face.vertexC->viewZ > 0;
        if (!anyInFront) continue;
        const bool anyBehind =
            face.vertexA->viewZ < 0 || face.vertexB->viewZ < 0 || face.vertexC->viewZ < 0;
        if (!anyBehind && !facesViewer(face)) continue;
        bindTexture(face.material + 32);
        drawFace(face, shadeDivisor(face, 4.0f));
    }
}

void drawShadowTriangle(const MeshVertex& a, const MeshVertex& b, const MeshVertex& c) {
    const TLVertex corners[3] = {
        deviceVertex(a, 0xFF000000u, a.u, a.v),
        deviceVertex(b, 0xFF000000u, b.u, b.v),
        deviceVertex(c, 0xFF000000u, c.u, c.v),
    };
    drawPrimitive(corners, 3);
}
