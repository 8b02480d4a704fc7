// Storage of the input globals declared in input.h.
#include "scene/input.h"

int MouseX = 0;
int MouseY = 0;
int MouseInWindow = 1;
uint8_t MouseButton = 0;
int ScreenshotRequest = 0;
int RedrawRequest = 1;
int TakeBackRequest = 0;
int HintRequest = 0;
int RecordRequest = 0;
