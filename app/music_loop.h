// The tune's first round kept as it is heard, then played back from memory for
// every later round, so that the synthesizer works for one round instead of
// two hundred. Only the output thread writes a MusicLoop while an output is
// open; app/music.cpp starts it before and reads it after.
#pragma once

#include <atomic>
#include <cstdint>

// Renders `frames` frames of the live tune into left and right (overwriting
// them); returns the frame at which the tune began its next round, or -1.
using LiveRender = int (*)(void* tune, float* left, float* right, int frames);

enum class LoopStage {
    Keeping,   // round 1, heard live and kept
    Fading,    // round 2's opening, live, laid over the kept opening
    Replaying, // the kept round, over and over
    Live,      // the round did not fit (or was too short to fade): live to the end
    Ended      // every round heard: silence
};

struct MusicLoop {
    int16_t* kept = nullptr; // stereo frames of round 1, interleaved; owned by the caller
    int64_t capacity = 0;    // frames `kept` can hold (0: play live throughout)
    int64_t length = 0;      // frames of round 1, known once round 2 began
    int64_t at = 0;          // frames into the round (or the fade) being heard
    int fadeFrames = 0;      // frames over which round 2's opening gives way to the kept one
    int roundsLeft = 0;      // rounds still to be heard after the one playing
    LoopStage stage = LoopStage::Live;
    std::atomic<bool> ended{false}; // stage is Ended; read by the game's thread
};

// Ready to keep the first of `rounds` rounds in `kept` (capacity frames).
void startLoop(MusicLoop& loop, int16_t* kept, int64_t capacity, int rounds, int fadeFrames);
// The next `frames` frames of the music into left and right: live from
// `render` while round 1 is kept and round 2 fades in, from memory after.
void playLoop(MusicLoop& loop, LiveRender render, void* tune, float* left, float* right,
              int frames);
