// Linear-light RGB pictures for the intro cards, and their two outputs: the
// game's intro format (8-byte header, 1024 x 768 5-6-5) and a PNG preview.
#pragma once

#include <string>
#include <vector>

struct Rgb {
    float r, g, b;
};

inline Rgb operator+(Rgb a, Rgb b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Rgb operator*(Rgb a, float k) {
    return {a.r * k, a.g * k, a.b * k};
}
inline Rgb operator*(Rgb a, Rgb b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}
inline Rgb mix(Rgb a, Rgb b, float t) {
    return a * (1.0f - t) + b * t;
}

struct Image {
    int width, height;
    std::vector<Rgb> pixels; // linear light, row-major
};

// A coverage or height field: one float a pixel.
struct Mask {
    int width, height;
    std::vector<float> values;
};

Image makeImage(int width, int height);
Mask makeMask(int width, int height);
inline Rgb& at(Image& image, int x, int y) {
    return image.pixels[y * image.width + x];
}
inline float& at(Mask& mask, int x, int y) {
    return mask.values[y * mask.width + x];
}
float sample(const Mask& mask, int x, int y); // 0 outside

// Three box passes: close to a Gaussian of that radius.
Mask blurred(const Mask& mask, int radius);

float smoothstep(float edge0, float edge1, float x);

// Tone-mapped, gamma-encoded bytes (red, green, blue) of the picture.
std::vector<unsigned char> encodeSrgb(const Image& image);
// The intro file: two 32-bit values (width, height; the game ignores them),
// then 5-6-5 pixels, dithered so that gradients do not band.
bool writeIntroRaw(const std::string& path, const std::vector<unsigned char>& srgb, int width,
                   int height);
// A PNG of bytes red, green, blue (channels 3) or red, green, blue, alpha (4).
bool writePng(const std::string& path, const std::vector<unsigned char>& srgb, int width,
              int height, int channels = 3);
