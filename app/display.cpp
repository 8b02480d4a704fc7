// initDisplay's steps, each mapped to what can fail on this platform and
// reported with the text of the call it stands for.
#include "app/display.h"

#include "app/settings.h"
#include "platform/platform.h"
#include "render/screen.h"

namespace {

// Focal length by screen width; widths the game was not made for get none.
float focalLengthFor(int width) {
    switch (width) {
    case 1024:
        return 500.0f;
    case 800:
        return 350.0f;
    case 640:
        return 250.0f;
    default:
        return 0.0f;
    }
}

// The viewport height goes with the width alone: a 1024 x 600 mode still gets
// a 768-row viewport, which the device cuts at the surface's bottom edge.
int viewportHeightFor(int width) {
    switch (width) {
    case 1024:
        return 768;
    case 800:
        return 600;
    default:
        return 480;
    }
}

} // namespace

const char* initDisplay() {
    FocalLength = focalLengthFor(ScreenWidth);
    if (videoStart() != PLATFORM_OK) return "DirectDrawCreateEx";
    if (setCooperativeLevel(WindowedMode == 1) != PLATFORM_OK)
        return "DDrawInterface->SetCooperativeLevel";
    // Without a focal length nothing could be projected: such a mode is refused
    // here instead of running with every point at the screen's centre.
    if (FocalLength == 0.0f || setDisplayMode(ScreenWidth, ScreenHeight) != PLATFORM_OK)
        return "DDrawInterface->SetDisplayMode";
    DDrawSurfacePrimary = primarySurface();
    if (DDrawSurfacePrimary == nullptr) return "DDrawInterface->CreateSurface";
    ScreenGreenMask = displayGreenMask();
    DDrawSurfaceBack = backBuffer();
    if (DDrawSurfaceBack == nullptr) return "DDrawSurfacePrimary->GetAttachedSurface";
    const PixelFormat format = surfaceFormat(DDrawSurfaceBack);
    Backtemp = createSurface(ScreenWidth, ScreenHeight, format);
    if (Backtemp == nullptr) return "DDrawInterface->CreateSurface Backtemp";
    Zbuffer = createSurface(ScreenWidth, ScreenHeight, PixelFormat::Depth16);
    if (Zbuffer == nullptr) return "DDrawInterface->CreateSurface Zbuffer";
    if (attachDepthSurface(DDrawSurfaceBack, Zbuffer) != PLATFORM_OK)
        return "DDrawSurfaceBack->AddAttachedSurface";
    if (createDevice(UseHardware, DDrawSurfaceBack) != PLATFORM_OK)
        return "D3DInterface->CreateDevice";
    if (setRenderTarget(DDrawSurfaceBack) != PLATFORM_OK) return "D3DDevice->SetRenderTarget";
    if (setViewport(0, 0, ScreenWidth, viewportHeightFor(ScreenWidth), 0.0f, 1.0f) != PLATFORM_OK)
        return "D3DDevice->SetViewport";
    return nullptr;
}
