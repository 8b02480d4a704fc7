// The software 3D device's calls: creation, render target and depth surface,
// viewport, scenes, render and texture-stage states, texture binding and
// primitive submission. DeviceState is written only here.
#include "platform/device_state.h"

namespace {

DeviceState device = {}; // reset by createDevice and releaseDevice
// Stages 1..7: kept for callers, never drawn with; reset by createDevice.
StageState otherStages[TEXTURE_STAGE_COUNT - 1] = {};

void resetStates() {
    device.perspective = true;
    device.depthEnable = device.target != nullptr && device.target->depth != nullptr;
    device.depthWrite = true;
    device.srcBlend = BLEND_ONE;
    device.destBlend = BLEND_ZERO;
    device.cullMode = CULL_CCW;
    device.blendEnable = false;
    device.depthBias = 0;
    device.stage0 =
        StageState{TOP_MODULATE, TA_TEXTURE,    TA_CURRENT,    TOP_SELECTARG1, TA_TEXTURE,
                   TA_CURRENT,   TADDRESS_WRAP, TFILTER_POINT, TFILTER_POINT,  nullptr};
    for (StageState& stage : otherStages) {
        stage = device.stage0;
        stage.colorOp = TOP_DISABLE;
        stage.alphaOp = TOP_DISABLE;
    }
}

void viewportToWholeTarget() {
    device.viewportX = 0;
    device.viewportY = 0;
    device.viewportWidth = device.target != nullptr ? device.target->width : 0;
    device.viewportHeight = device.target != nullptr ? device.target->height : 0;
}

bool isRenderableFormat(const Surface* surface) {
    return surface->format == PixelFormat::Rgb565 || surface->format == PixelFormat::Rgb555;
}

StageState* stageAt(int stage) {
    if (stage == 0) return &device.stage0;
    if (stage >= 1 && stage < TEXTURE_STAGE_COUNT) return &otherStages[stage - 1];
    return nullptr;
}

bool isTextureFormat(const Surface* surface) {
    return surface->format != PixelFormat::Depth16;
}

} // namespace

const DeviceState& deviceState() {
    return device;
}

int createDevice(int deviceType, Surface* renderTarget) {
    if (deviceType != 0 && deviceType != 1) return PLATFORM_FAILED;
    if (renderTarget == nullptr || !isRenderableFormat(renderTarget)) return PLATFORM_FAILED;
    device = {};
    device.exists = true;
    device.target = renderTarget;
    viewportToWholeTarget();
    resetStates();
    return PLATFORM_OK;
}

void releaseDevice() {
    device = {};
}

void forgetSurfaceInDevice(const Surface* surface) {
    if (device.target == surface) {
        device.target = nullptr;
        viewportToWholeTarget();
    }
    if (device.stage0.texture == surface) device.stage0.texture = nullptr;
    for (StageState& stage : otherStages)
        if (stage.texture == surface) stage.texture = nullptr;
}

int getDeviceCaps(DeviceCaps* out) {
    if (!device.exists || out == nullptr) return PLATFORM_FAILED;
    const VideoState& video = videoState();
    out->maxTextureWidth =
        video.backend == Backend::Headless ? video.options.maxTextureWidth : 2048;
    return PLATFORM_OK;
}

int setRenderTarget(Surface* colour) {
    if (!device.exists || colour == nullptr || !isRenderableFormat(colour)) return PLATFORM_FAILED;
    device.target = colour;
    viewportToWholeTarget();
    return PLATFORM_OK;
}

int attachDepthSurface(Surface* colour, Surface* depth) {
    if (colour == nullptr || depth == nullptr || depth->format != PixelFormat::Depth16)
        return PLATFORM_FAILED;
    if (depth->width < colour->width || depth->height < colour->height) return PLATFORM_FAILED;
    colour->depth = depth;
    return PLATFORM_OK;
}

Surface* getRenderTarget() {
    return device.target;
}

int setViewport(int x, int y, int width, int height, float minZ, float maxZ) {
    if (!device.exists || width <= 0 || height <= 0 || x < 0 || y < 0) return PLATFORM_FAILED;
    if (!(minZ >= 0.0f && maxZ <= 1.0f && minZ <= maxZ)) return PLATFORM_FAILED;
    // A viewport reaching past the target is kept; drawing is cut at the target's edges.
    device.viewportX = x;
    device.viewportY = y;
    device.viewportWidth = width;
    device.viewportHeight = height;
    return PLATFORM_OK;
}

int beginScene() {
    return device.exists ? PLATFORM_OK : PLATFORM_FAILED;
}
int endScene() {
    return device.exists ? PLATFORM_OK : PLATFORM_FAILED;
}

int setRenderState(RenderState state, uint32_t value) {
    if (!device.exists) return PLATFORM_FAILED;
    switch (state) {
    case RS_TEXTUREPERSPECTIVE:
        device.perspective = value != 0;
        break;
    case RS_ZENABLE:
        device.depthEnable = value != 0;
        break;
    case RS_ZWRITEENABLE:
        device.depthWrite = value != 0;
        break;
    case RS_SRCBLEND:
        device.srcBlend = value;
        break;
    case RS_DESTBLEND:
        device.destBlend = value;
        break;
    case RS_CULLMODE:
        if (value != CULL_NONE && value != CULL_CW && value != CULL_CCW) return PLATFORM_FAILED;
        device.cullMode = value;
        break;
    case RS_ALPHABLENDENABLE:
        device.blendEnable = value != 0;
        break;
    case RS_ZBIAS:
        if (value > ZBIAS_MAX) return PLATFORM_FAILED;
        device.depthBias = value;
        break;
    default:
        return PLATFORM_FAILED;
    }
    return PLATFORM_OK;
}

int setTextureStageState(int stage, TextureStageState type, uint32_t value) {
    StageState* s = stageAt(stage);
    if (!device.exists || s == nullptr) return PLATFORM_FAILED;
    switch (type) {
    case TSS_COLOROP:
        s->colorOp = value;
        break;
    case TSS_COLORARG1:
        s->colorArg1 = value;
        break;
    case TSS_COLORARG2:
        s->colorArg2 = value;
        break;
    case TSS_ALPHAOP:
        s->alphaOp = value;
        break;
    case TSS_ALPHAARG1:
        s->alphaArg1 = value;
        break;
    case TSS_ALPHAARG2:
        s->alphaArg2 = value;
        break;
    case TSS_ADDRESS:
        s->address = value;
        break;
    case TSS_MAGFILTER:
        s->magFilter = value;
        break;
    case TSS_MINFILTER:
        s->minFilter = value;
        break;
    default:
        return PLATFORM_FAILED;
    }
    return PLATFORM_OK;
}

int setTexture(int stage, Surface* texture) {
    StageState* s = stageAt(stage);
    if (!device.exists || s == nullptr) return PLATFORM_FAILED;
    if (texture != nullptr && !isTextureFormat(texture)) return PLATFORM_FAILED;
    s->texture = texture;
    return PLATFORM_OK;
}

int drawPrimitive(const TLVertex* vertices, int count) {
    if (!device.exists || device.target == nullptr || vertices == nullptr || count < 0 ||
        count % 3 != 0)
        return PLATFORM_FAILED;
    for (int i = 0; i < count; i += 3)
        rasterizeTriangle(vertices[i], vertices[i + 1], vertices[i + 2]);
    if (count > 0) noteAllWritten(device.target);
    return PLATFORM_OK;
}

int drawTriangleFan(const TLVertex* vertices, int count) {
    if (!device.exists || device.target == nullptr || vertices == nullptr || count < 3)
        return PLATFORM_FAILED;
    for (int i = 1; i + 1 < count; ++i)
        rasterizeTriangle(vertices[0], vertices[i], vertices[i + 1]);
    noteAllWritten(device.target);
    return PLATFORM_OK;
}
