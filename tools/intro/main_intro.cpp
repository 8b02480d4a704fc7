// korvath-intro DIR [PREVIEW_DIR]: writes the intro pictures QVR.RAW (the
// studio's card) and CHECKERS.RAW (the title) into DIR, and PNG previews of
// them into PREVIEW_DIR when given.

#include <cstdio>
#include <string>

#include "cards.h"

namespace {

bool save(const Image& card, const std::string& dir, const char* name,
          const std::string& previewDir) {
    std::vector<unsigned char> srgb = encodeSrgb(card);
    if (!writeIntroRaw(dir + "/" + name + ".RAW", srgb, card.width, card.height)) {
        std::fprintf(stderr, "korvath-intro: cannot write %s/%s.RAW\n", dir.c_str(), name);
        return false;
    }
    if (!previewDir.empty() &&
        !writePng(previewDir + "/" + name + ".png", srgb, card.width, card.height)) {
        std::fprintf(stderr, "korvath-intro: cannot write %s/%s.png\n", previewDir.c_str(), name);
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || argv[1][0] == '-') { // an option is never a folder
        std::fprintf(stderr, "usage: korvath-intro DIR [PREVIEW_DIR]\n");
        return 2;
    }
    std::string previewDir = argc == 3 ? argv[2] : "";
    Image studio = makeStudioCard();
    Image title = makeTitleCard(2);
    if (studio.width == 0 || title.width == 0) {
        std::fprintf(
            stderr, "korvath-intro: no usable font (install fonts-texgyre or fonts-dejavu-core)\n");
        return 1;
    }
    return save(studio, argv[1], "QVR", previewDir) && save(title, argv[1], "CHECKERS", previewDir)
               ? 0
               : 1;
}
