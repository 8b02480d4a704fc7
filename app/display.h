// The display set-up: the video system in the settings' mode, the flipping
// chain, the depth buffer, Backtemp and the 3D device. Writes the display
// globals of render/screen.h (FocalLength, ScreenGreenMask and the surfaces)
// once, at start-up. The fixed render states are render/mesh_renderer.h's
// setRenderStates; the flip is the platform's presentFrame.
#pragma once

// Runs the set-up steps in order; nullptr on success, else the fixed text of
// the step that failed. Nothing made before a failure is released here.
const char* initDisplay();
