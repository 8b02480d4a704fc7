// Storage of the screen globals declared in screen.h. Zero until the settings
// are read and the display is set up; never reset during the run.
#include "render/screen.h"

int ScreenWidth = 0;
int ScreenHeight = 0;
uint32_t ScreenGreenMask = 0;
float FocalLength = 0.0f;

Surface* DDrawSurfacePrimary = nullptr;
Surface* DDrawSurfaceBack = nullptr;
Surface* Zbuffer = nullptr;
Surface* Backtemp = nullptr;
