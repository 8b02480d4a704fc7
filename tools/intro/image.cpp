// Picture helpers of the intro generator: blurs, tone mapping, and the writers.

#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

void boxPass(std::vector<float>& v, int count, int stride, int start, int radius) {
    std::vector<float> line(count);
    for (int i = 0; i < count; i++) line[i] = v[start + i * stride];
    float sum = 0.0f;
    float scale = 1.0f / (2 * radius + 1);
    auto get = [&](int i) { return i < 0 || i >= count ? 0.0f : line[i]; };
    for (int i = -radius; i <= radius; i++) sum += get(i);
    for (int i = 0; i < count; i++) {
        v[start + i * stride] = sum * scale;
        sum += get(i + radius + 1) - get(i - radius);
    }
}

// A gentle shoulder keeps highlights on the lacquer from clipping to flat white.
float toneMap(float v) {
    v = std::max(0.0f, v);
    float mapped = v < 0.8f ? v : 0.8f + 0.2f * (1.0f - std::exp(-(v - 0.8f) / 0.2f));
    return std::pow(std::min(mapped, 1.0f), 1.0f / 2.2f);
}

void put32le(std::FILE* f, uint32_t v) {
    unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}

// Adds noise of about one 5-bit step before truncating, so a smooth ramp turns
// into fine grain instead of visible bands.
unsigned quantise(unsigned char value, int bits, uint32_t* seed) {
    *seed = *seed * 1103515245u + 12345u;
    float noise = static_cast<float>((*seed >> 8) & 0xFFFF) / 65536.0f;
    float levels = static_cast<float>((1 << bits) - 1);
    float v = value / 255.0f * levels + noise - 0.5f;
    return static_cast<unsigned>(std::clamp(std::lround(v), 0L, static_cast<long>(levels)));
}

// For the PNG preview, stored without compression: no library needed.
uint32_t crc32(const unsigned char* data, size_t n, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < n; i++) {
        crc ^= data[i];
        for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putChunk(std::vector<unsigned char>* out, const char* type,
              const std::vector<unsigned char>& data) {
    uint32_t n = static_cast<uint32_t>(data.size());
    for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<unsigned char>(n >> s));
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out->insert(out->end(), body.begin(), body.end());
    uint32_t crc = crc32(body.data(), body.size());
    for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<unsigned char>(crc >> s));
}

} // namespace

Image makeImage(int width, int height) {
    return {width, height, std::vector<Rgb>(static_cast<size_t>(width) * height, Rgb{0, 0, 0})};
}

Mask makeMask(int width, int height) {
    return {width, height, std::vector<float>(static_cast<size_t>(width) * height, 0.0f)};
}

float sample(const Mask& mask, int x, int y) {
    if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) return 0.0f;
    return mask.values[y * mask.width + x];
}

float smoothstep(float edge0, float edge1, float x) {
    float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

Mask blurred(const Mask& mask, int radius) {
    Mask out = mask;
    if (radius <= 0) return out;
    int r = std::max(1, radius / 2);
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < out.height; y++) boxPass(out.values, out.width, 1, y * out.width, r);
        for (int x = 0; x < out.width; x++) boxPass(out.values, out.height, out.width, x, r);
    }
    return out;
}

std::vector<unsigned char> encodeSrgb(const Image& image) {
    std::vector<unsigned char> out;
    out.reserve(image.pixels.size() * 3);
    for (const Rgb& p : image.pixels)
        for (float c : {p.r, p.g, p.b})
            out.push_back(static_cast<unsigned char>(std::lround(toneMap(c) * 255.0f)));
    return out;
}

bool writeIntroRaw(const std::string& path, const std::vector<unsigned char>& srgb, int width,
                   int height) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    put32le(f, static_cast<uint32_t>(width));
    put32le(f, static_cast<uint32_t>(height));
    std::vector<unsigned char> row(static_cast<size_t>(width) * 2);
    uint32_t seed = 20240611u;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const unsigned char* p = &srgb[(static_cast<size_t>(y) * width + x) * 3];
            unsigned v = quantise(p[0], 5, &seed) << 11 | quantise(p[1], 6, &seed) << 5 |
                         quantise(p[2], 5, &seed);
            row[2 * x] = static_cast<unsigned char>(v);
            row[2 * x + 1] = static_cast<unsigned char>(v >> 8);
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    bool ok = !std::ferror(f);
    return std::fclose(f) == 0 && ok;
}

bool writePng(const std::string& path, const std::vector<unsigned char>& srgb, int width,
              int height, int channels) {
    std::vector<unsigned char> raw;
    const long row = static_cast<long>(width) * channels;
    for (int y = 0; y < height; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), srgb.begin() + y * row, srgb.begin() + (y + 1) * row);
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t pos = 0; pos < raw.size(); pos += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + static_cast<long>(pos),
                 raw.begin() + static_cast<long>(pos + n));
    }
    uint32_t adler = b << 16 | a;
    for (int s = 24; s >= 0; s -= 8) z.push_back(static_cast<unsigned char>(adler >> s));

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        for (int s = 24; s >= 0; s -= 8) header.push_back(static_cast<unsigned char>(v >> s));
    const unsigned char colourType = channels == 4 ? 6 : 2;
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    putChunk(&png, "IHDR", header);
    putChunk(&png, "IDAT", z);
    putChunk(&png, "IEND", {});
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}
