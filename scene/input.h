// Pointer and request state: written by the window procedure (app/) between
// frames, read by picking, the cursor and the game controller during a frame.
// Never reset; every value keeps its last state between messages.
#pragma once

#include <cstdint>

extern int MouseX; // cursor x in game pixels, 0 .. ScreenWidth - 10
extern int MouseY; // cursor y in game pixels, 0 .. ScreenHeight - 10
extern int
    MouseInWindow; // 1 while the pointer is over the window; 0 once it leaves, until it moves in
extern uint8_t MouseButton;   // 1 left press, 2 right press, 0 released, 255 press already handled
extern int ScreenshotRequest; // 1: the game controller saves the next frame
extern int RedrawRequest;     // 1: the next frame draws the 3D scene again (1 at program start)
extern int TakeBackRequest;   // Backspace presses the game controller has not handled yet
extern int HintRequest;       // 1: the game controller shows a hint in the next frame
extern int RecordRequest;     // 1: the game controller writes the game's record next frame
