// The window procedure of the game window: turns window messages into the
// input globals (scene/input.h, the camera angles of render/camera.h) and
// AppActive. Written only inside message dispatch, never during a frame.
#pragma once

#include <cstdint>

#include "platform/platform.h"

extern int
    AppActive; // 1 while the window is not minimised; 0 until the first activation; never reset

int64_t windowProc(const Message& message);
