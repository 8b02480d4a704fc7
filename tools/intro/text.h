// Lettering for the intro cards: text rasterised from a font file into a
// coverage mask, and painted as bevelled metal with its shadow and glow.
#pragma once

#include <string>

#include "image.h"

struct Lettering {
    Mask coverage; // the text, with room around it for blur
    int padding;   // of that room, on each side
};

// The text at that pixel height, tracking pixels added between letters.
// Returns an empty mask (width 0) when the font cannot be read.
Lettering rasterise(const std::string& fontPath, int pixelHeight, const std::string& text,
                    int tracking);

// How painted letters look: a metal ramp from top to bottom, lit from the upper left.
struct MetalStyle {
    Rgb top, middle, bottom;
    float bevelRadius; // pixels of rounding at the edges
    float shine;       // strength of the specular glint
    float shadowAlpha; // drop shadow strength
    int shadowOffset;  // pixels down and right
    Rgb glow;          // added around the letters (0 for none)
};

// Paints the lettering centred on (centreX, centreY).
void paintMetal(Image* image, const Lettering& text, int centreX, int centreY,
                const MetalStyle& style);
// Plain flat-coloured text, for small captions.
void paintFlat(Image* image, const Lettering& text, int centreX, int centreY, Rgb colour,
               float alpha);
