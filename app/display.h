// The display set-up: the video system in the settings' mode, the flipping
// chain, the depth buffer, Backtemp and the 3D device. Writes the display
// globals of render/screen.h (FocalLength, ScreenGreenMask and the surfaces)
// once, at start-up.
#pragma once

#include "platform/platform.h"

// Runs the set-up steps in order; nullptr on success, else the fixed text of
// the step that failed. Nothing made before a failure is released here.
const char* initDisplay();

// The fixed render states (setRenderStates) live with the other device state
// blocks in render/mesh_renderer.h, since the game frame sets them too.
#include "render/mesh_renderer.h"

// presentFrame is the platform's flip (platform/platform.h): it shows the back
// buffer and answers PLATFORM_SURFACE_LOST after a renderer reset.
