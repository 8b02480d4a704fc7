// korvath-music FILE: writes the game's background music, an original
// small-combo swing tune, as a Standard MIDI File.

#include <cstdio>

#include "midi_file.h"
#include "tune.h"

int main(int argc, char** argv) {
    if (argc != 2 || argv[1][0] == '-') { // an option is never taken for a file name
        std::fprintf(stderr, "usage: korvath-music OUTPUT.mid\n");
        return 2;
    }
    std::vector<uint8_t> bytes = encodeMidiFile(composeTune());
    FILE* file = std::fopen(argv[1], "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() ||
        std::fclose(file) != 0) {
        std::fprintf(stderr, "korvath-music: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
