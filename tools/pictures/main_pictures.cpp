// korvath-pictures FOLDER: writes the game's six pictures into FOLDER as
// 256 x 256 5-6-5 little-endian RAW files without a header.
#include "tools/pictures/pictures.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

bool writePicture(const std::string& folder, const char* name, void (*draw)(Picture&)) {
    auto picture = std::make_unique<Picture>();
    draw(*picture);
    unsigned char bytes[PictureSide * PictureSide * 2];
    for (int y = 0; y < PictureSide; ++y) {
        for (int x = 0; x < PictureSide; ++x) {
            const uint16_t p = packPixel(picture->pixels[y * PictureSide + x], x, y);
            bytes[2 * (y * PictureSide + x)] = static_cast<unsigned char>(p & 0xFF);
            bytes[2 * (y * PictureSide + x) + 1] = static_cast<unsigned char>(p >> 8);
        }
    }
    const std::string path = folder + "/" + name;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::fprintf(stderr, "korvath-pictures: cannot write %s\n", path.c_str());
        return false;
    }
    const bool written = std::fwrite(bytes, sizeof bytes, 1, file) == 1;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::fprintf(stderr, "korvath-pictures: writing %s failed\n", path.c_str());
        std::remove(path.c_str()); // never leave a short picture behind
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') { // an option is never taken for a file name
        std::fprintf(stderr, "usage: korvath-pictures FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = writePicture(folder, "DBLANC.RAW", drawLightWood) &&
                    writePicture(folder, "DNOIR.RAW", drawDarkWood) &&
                    writePicture(folder, "PION1.RAW", drawIvory) &&
                    writePicture(folder, "PION0.RAW", drawEbony) &&
                    writePicture(folder, "BOUTON.RAW", drawButton) &&
                    writePicture(folder, "FOND.RAW", drawSky);
    return ok ? 0 : 1;
}
