// Background music: "datas/jazz1.mid" played 201 times in a row through a
// software synthesizer from start-up on, held while the window is minimised.
// The first round is kept as it is heard and the others replayed from it
// (app/music_loop.h). The synthesizer objects live in app/music.cpp until stopMusic.
#pragma once

// Where the music looks for its instruments and its output. nullptr (the
// default) searches the usual soundfont folders and the system's audio outputs;
// tests point them elsewhere to reach the failure paths.
extern const char* MusicSoundFont;   // a .sf2 file, or nullptr
extern const char* MusicAudioDriver; // "pulseaudio", "alsa", "file"..., or nullptr

// Starts the music when MusicEnabled is 1 (else makes nothing and returns 0).
// Each failure shows its message box captioned "Tavolant" and returns at once,
// the game carrying on silently: 0 on success, else minus the number of the
// failed step (1 to 7).
int startMusic();
// True while the file is still playing its 201 rounds.
bool musicPlaying();
// Closes the audio output while hold is true (the window is minimised), so
// that no synthesis runs, and reopens it when hold turns false: the tune goes
// on from where it stopped. Does nothing when no music plays.
void holdMusic(bool hold);
// Stops the music and releases whatever startMusic made; always 0.
int stopMusic();
