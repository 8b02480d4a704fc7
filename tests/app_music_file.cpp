// The generated "jazz1.mid": a well-formed file whose tracks all end together
// (so each repeat comes in on time), rendered offline through FluidSynth into
// a WAV that sounds from start to end for the tune's two minutes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path MusicFile = fs::path(KORVATH_DATA_DIR) / "DATAS" / "jazz1.mid";
constexpr double TuneSeconds = 64 * 4 * 60.0 / 126; // 64 bars of 4 beats at 126 a minute

std::vector<uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t bigEndian(const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; i++) v = v << 8 | p[i];
    return v;
}

struct TrackSummary {
    uint32_t endTick = 0;
    int notes = 0;
    int unmatched = 0; // note-ons never released, or releases of silent keys
};

// A variable-length number, as MIDI writes delta times and lengths.
uint32_t readNumber(const uint8_t*& p) {
    uint32_t value = 0;
    do value = value << 7 | (*p & 0x7F);
    while (*p++ & 0x80);
    return value;
}

// Reads one MTrk body: running status is not used by our writer but is handled.
TrackSummary readTrack(const uint8_t* p, const uint8_t* end) {
    TrackSummary summary;
    std::map<int, int> sounding;
    uint32_t tick = 0;
    uint8_t status = 0;
    while (p < end) {
        tick += readNumber(p);
        if (*p & 0x80) status = *p++;
        if (status == 0xFF) {
            const uint8_t type = *p++;
            p += readNumber(p);
            if (type == 0x2F) summary.endTick = tick;
            continue;
        }
        const int kind = status & 0xF0, key = (status & 0x0F) << 8 | p[0];
        if (kind == 0x90 && p[1] > 0) {
            summary.notes++;
            sounding[key]++;
        } else if ((kind == 0x80 || kind == 0x90) && sounding[key]-- <= 0) {
            summary.unmatched++;
        }
        p += kind == 0xC0 || kind == 0xD0 ? 1 : 2;
    }
    for (auto& [key, count] : sounding) summary.unmatched += count;
    return summary;
}

std::string findSoundFont() {
    for (const char* path :
         {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2"})
        if (fs::exists(path)) return path;
    return "";
}

} // namespace

TEST(MusicFile, TracksAreWholeAndEndTogether) {
    std::vector<uint8_t> file = readAll(MusicFile);
    ASSERT_GT(file.size(), 14u) << MusicFile;
    ASSERT_EQ(std::string(file.begin(), file.begin() + 4), "MThd");
    EXPECT_EQ(bigEndian(&file[8], 2), 1u);  // format 1
    EXPECT_EQ(bigEndian(&file[10], 2), 5u); // tempo, piano, vibraphone, bass, drums
    uint32_t ticksPerQuarter = bigEndian(&file[12], 2);
    size_t pos = 14;
    int tracks = 0;
    while (pos + 8 <= file.size()) {
        ASSERT_EQ(std::string(file.begin() + static_cast<long>(pos),
                              file.begin() + static_cast<long>(pos) + 4),
                  "MTrk");
        uint32_t length = bigEndian(&file[pos + 4], 4);
        ASSERT_LE(pos + 8 + length, file.size());
        TrackSummary t = readTrack(&file[pos + 8], &file[pos + 8 + length]);
        EXPECT_EQ(t.endTick, 64 * 4 * ticksPerQuarter) << "track " << tracks;
        EXPECT_EQ(t.unmatched, 0) << "track " << tracks;
        if (tracks > 0) {
            EXPECT_GT(t.notes, 100) << "track " << tracks;
        }
        pos += 8 + length;
        tracks++;
    }
    EXPECT_EQ(tracks, 5);
}

TEST(MusicFile, RendersToTwoMinutesOfSound) {
    std::string soundFont = findSoundFont();
    ASSERT_FALSE(soundFont.empty()) << "no General MIDI soundfont installed";
    fs::path wav = fs::path(testing::TempDir()) / "jazz1_render.wav";
    std::string command = "fluidsynth -ni -q -F '" + wav.string() + "' -r 44100 '" + soundFont +
                          "' '" + MusicFile.string() + "' > /dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    std::vector<uint8_t> bytes = readAll(wav);
    fs::remove(wav);
    ASSERT_GT(bytes.size(), 44u);
    ASSERT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    ASSERT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "WAVE");
    // 16-bit stereo samples at 44100 Hz after the 44-byte header.
    const int16_t* samples = reinterpret_cast<const int16_t*>(&bytes[44]);
    const size_t frames = (bytes.size() - 44) / 4;

    // Loudness of each half second; the last one that sounds marks the tune's end.
    std::vector<double> rms;
    for (size_t start = 0; start + 22050 <= frames; start += 22050) {
        double sum = 0;
        for (size_t i = start * 2; i < (start + 22050) * 2; i++)
            sum += double(samples[i]) * samples[i];
        rms.push_back(std::sqrt(sum / 44100));
    }
    size_t lastSounding = 0;
    for (size_t i = 0; i < rms.size(); i++)
        if (rms[i] > 100) lastSounding = i;
    double end = (lastSounding + 1) * 0.5;
    EXPECT_GE(end, TuneSeconds - 0.5);
    EXPECT_LE(end, TuneSeconds + 3.0);
    // No gap anywhere: every half second of the tune is clearly audible.
    for (size_t i = 0; i + 1 < static_cast<size_t>(TuneSeconds * 2); i++)
        EXPECT_GT(rms[i], 150) << "near-silence at " << i * 0.5 << " s";
}
