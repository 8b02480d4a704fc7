// The settings read from "SETTINGS.TXT" at start-up: the screen size (into
// render/screen.h's ScreenWidth and ScreenHeight), texture sizes, the device
// choice, music and the window mode. Written only by loadSettings, once; 0
// until then and never changed after.
#pragma once

#include <string>

extern int ShadowTextureSize; // side of the two shadow textures, before the device limit
extern int TextureSize;       // side of every picture texture, before the device limit
extern int UseHardware;       // 0 or 1: both choose the software device; anything else fails set-up
extern int MusicEnabled;      // 1: background music
extern int WindowedMode;      // 1: a plain window instead of full screen (optional seventh pair);
                              // also written by the full-screen switch (app/window_mode.h)
extern int AnimationEnabled;  // 0: moves jump a step a frame; else they glide (optional eighth
                              // pair, 1 when absent)
// Where the settings were read from, as a whole path (the file named in advice
// and rewritten by the full-screen switch); set by loadSettings, even when the
// file is missing.
extern std::string SettingsPath;

// The numbers of the label/number pairs of a settings text, in file order;
// values[i] keeps what it held when pair i is absent or its number unreadable;
// the optional seventh and eighth are read only when the first six values were
// all numbers.
constexpr int SettingsPairs = 8;
void parseSettings(const char* text, int values[SettingsPairs]);

// The window pair is the seventh: its place in the pairs.
constexpr int WindowPair = 6;
// Sets the window pair's number in a settings text to windowed (0 or 1), every
// other byte kept; a text without the pair gets it as a line of its own at the
// end. False, the text unchanged, when its first six numbers are not all there.
bool withWindowPair(std::string& text, int windowed);

// Reads "SETTINGS.TXT" from the current directory into the globals. Returns
// nullptr, or a failure text when the file is missing, cannot be read (a pipe
// or a device is refused unread) or holds nothing; SettingsPath names it.
const char* loadSettings();
