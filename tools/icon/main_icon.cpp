// korvath-icon FOLDER: draws the game's application icon, an ivory and an
// ebony piece on a corner of the board, at the usual sizes of the desktop's
// icon theme: FOLDER/NxN/apps/korvath.png with an alpha channel. Stateless.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/intro/image.h"

namespace {

constexpr int IconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
constexpr int Samples = 4; // per pixel and axis

// Linear-light colours of the board's woods and the pieces.
constexpr Rgb Maple{0.72f, 0.48f, 0.24f};
constexpr Rgb Walnut{0.10f, 0.04f, 0.014f};
constexpr Rgb Frame{0.035f, 0.018f, 0.008f};
constexpr Rgb Ivory{0.86f, 0.80f, 0.64f};
constexpr Rgb Ebony{0.025f, 0.025f, 0.03f};

struct Disc {
    float x, y, radius; // in icon units, 0..1 across
    Rgb colour;
};
constexpr Disc Ebony0{0.63f, 0.37f, 0.25f, Ebony};
constexpr Disc Ivory0{0.39f, 0.62f, 0.25f, Ivory};

// Inside a square of side 1 - 2 inset with corners of the given radius.
bool insideRoundedSquare(float x, float y, float inset, float radius) {
    const float dx = std::max(std::abs(x - 0.5f) - (0.5f - inset - radius), 0.0f);
    const float dy = std::max(std::abs(y - 0.5f) - (0.5f - inset - radius), 0.0f);
    return dx * dx + dy * dy <= radius * radius;
}

Rgb boardAt(float x, float y) {
    if (!insideRoundedSquare(x, y, 0.09f, 0.08f)) return Frame;
    const int column = static_cast<int>(x * 4.0f);
    const int row = static_cast<int>(y * 4.0f);
    return (column + row) % 2 == 0 ? Maple : Walnut;
}

// A piece seen from above: a domed top lit from the upper left, a groove ring
// and a darker rim; the soft shadow it casts falls to the lower right.
Rgb overDisc(Rgb under, float x, float y, const Disc& disc) {
    const float sx = x - disc.x - 0.035f, sy = y - disc.y - 0.045f;
    const float shadow = std::sqrt(sx * sx + sy * sy) / disc.radius;
    under = under * (1.0f - 0.6f * (1.0f - smoothstep(0.85f, 1.15f, shadow)));
    const float dx = x - disc.x, dy = y - disc.y;
    const float d = std::sqrt(dx * dx + dy * dy) / disc.radius;
    if (d > 1.0f) return under;
    float shade = 1.05f - 0.3f * d * d;
    if (d > 0.60f && d < 0.70f) shade *= 0.6f;
    if (d > 0.90f) shade *= 0.7f;
    const float hx = dx / disc.radius + 0.35f, hy = dy / disc.radius + 0.35f;
    const float glint = std::max(0.0f, 1.0f - std::sqrt(hx * hx + hy * hy) / 0.5f);
    return disc.colour * shade + Rgb{1, 1, 1} * (0.3f * glint * glint);
}

std::vector<unsigned char> drawIcon(int size) {
    Image colour = makeImage(size, size);
    std::vector<float> cover(static_cast<size_t>(size) * size, 0.0f);
    const float step = 1.0f / static_cast<float>(size * Samples);
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Rgb sum{0, 0, 0};
            int inside = 0;
            for (int sy = 0; sy < Samples; ++sy) {
                for (int sx = 0; sx < Samples; ++sx) {
                    const float x = (px * Samples + sx + 0.5f) * step;
                    const float y = (py * Samples + sy + 0.5f) * step;
                    if (!insideRoundedSquare(x, y, 0.03f, 0.14f)) continue;
                    sum = sum + overDisc(overDisc(boardAt(x, y), x, y, Ebony0), x, y, Ivory0);
                    ++inside;
                }
            }
            if (inside == 0) continue;
            at(colour, px, py) = sum * (1.0f / static_cast<float>(inside));
            cover[static_cast<size_t>(py) * size + px] = inside / float(Samples * Samples);
        }
    }
    const std::vector<unsigned char> rgb = encodeSrgb(colour);
    std::vector<unsigned char> rgba;
    rgba.reserve(cover.size() * 4);
    for (size_t i = 0; i < cover.size(); ++i) {
        rgba.insert(rgba.end(), rgb.begin() + 3 * i, rgb.begin() + 3 * i + 3);
        rgba.push_back(static_cast<unsigned char>(std::lround(cover[i] * 255.0f)));
    }
    return rgba;
}

bool makeFolder(const std::string& path) {
    return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') { // an option is never taken for a file name
        std::fprintf(stderr, "usage: korvath-icon FOLDER\n");
        return 2;
    }
    for (int size : IconSizes) {
        const std::string folder =
            std::string(argv[1]) + "/" + std::to_string(size) + "x" + std::to_string(size);
        const std::string file = folder + "/apps/korvath.png";
        if (!makeFolder(argv[1]) || !makeFolder(folder) || !makeFolder(folder + "/apps") ||
            !writePng(file, drawIcon(size), size, size, 4)) {
            std::fprintf(stderr, "korvath-icon: cannot write %s\n", file.c_str());
            return 1;
        }
    }
    return 0;
}
