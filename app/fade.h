// The full-screen fade player: the two intro pictures and the closing fade.
// The shell owns the Sequence records; startSequence fills one, then
// playSequenceFrame draws it into the back buffer once a frame until it ends.
#pragma once

#include <cstdint>
#include <vector>

// Intro picture files: an 8-byte header (ignored), then 1024 x 768 pixels of
// 16-bit little-endian 5-6-5, row 0 first.
constexpr int SequenceFileWidth = 1024;
constexpr int SequenceFileHeight = 768;
constexpr long SequenceFileBytes = 8 + SequenceFileWidth * SequenceFileHeight * 2;

struct Sequence {
    std::vector<uint8_t> picture; // ScreenWidth x ScreenHeight pixels of blue, green, red, unused
    float fadeLevel = 0.0f;       // from its start value up to 3.0
    float speed = 0.0f;           // added to fadeLevel after every drawn frame
    uint8_t fromScreen = 0;       // 0: picture from a file; 1: captured from the back buffer
    uint8_t mode = 0; // 3: fade in, hold, fade out (from 0.0); 2: fade out only (from 1.9)
};

// Sets up the record and its picture, from the file or (fromScreen 1) from the
// back buffer. nullptr on success, else a text naming the missing or short
// file; the picture is then black, so playing it anyway is harmless.
const char* startSequence(Sequence* sequence, int mode, float speed, const char* fileName,
                          int fromScreen);
// Draws one frame into the back buffer and advances the fade: 1 on the frame
// at which the fade ends, else 0.
int playSequenceFrame(Sequence* sequence);
// Reads an intro picture file into 1024 x 768 pixels of red, green, blue.
// nullptr on success, else the text naming the missing or short file.
const char* loadSequenceImage(const char* fileName, std::vector<uint8_t>* rgb);
