// The music's repeats, heard: a one-click file played through FluidSynth's file
// output must click 201 times (once plus 200 repeats) and then fall silent.
// About ten seconds of real-time playing; the only run of the repeat code, so the sanitizer
// run keeps it.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "app/music.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// 96 ticks at 60 ms a quarter: one loud claves click with no reverb send, then
// silence to the end of the track, 60 ms in all.
const uint8_t OneClick[] = {
    'M',  'T',  'h',  'd',  0,    0,    0,    6,  0, 0, 0, 1, 0, 96, // format 0, 1 track
    'M',  'T',  'r',  'k',  0,    0,    0,    27,                    // 27 bytes of events
    0x00, 0xFF, 0x51, 0x03, 0x00, 0xEA, 0x60,                        // 60000 us a quarter
    0x00, 0xB9, 0x5B, 0x00,                                          // channel 10: no reverb
    0x00, 0x99, 75,   127,                                           // claves on
    0x0C, 0x89, 75,   64,                                            // and off
    0x54, 0xFF, 0x2F, 0x00,                                          // end at tick 96
};

// Clicks in the WAV (16-bit stereo after a 44-byte header), by the left
// channel's peak in each millisecond: a click is a loud millisecond after at
// least five quiet ones, its ringing dying down well before the next, 60 ms later.
int countClicks(const fs::path& wav) {
    std::ifstream in(wav, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    int clicks = 0, quiet = 5;
    for (size_t start = 44; start + 44 * 4 <= bytes.size(); start += 44 * 4) {
        int peak = 0;
        for (size_t i = start; i < start + 44 * 4; i += 4)
            peak = std::max(
                peak, std::abs(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                                    static_cast<uint8_t>(bytes[i + 1]) << 8)));
        if (peak > 2000 && quiet >= 5) {
            clicks++;
            quiet = 0;
        } else if (peak < 700) {
            quiet++;
        } else if (quiet < 5) {
            quiet = 0;
        }
    }
    return clicks;
}

} // namespace

TEST(MusicLoop, TheFilePlaysOncePlusTwoHundredRepeats) {
    selectBackend(Backend::Headless);
    MusicEnabled = 1;
    MusicAudioDriver = "file";
    fs::path home = fs::current_path();
    fs::path folder = fs::path(testing::TempDir()) / "music_loop";
    fs::remove_all(folder);
    fs::create_directories(folder / "datas");
    std::ofstream(folder / "datas" / "jazz1.mid", std::ios::binary)
        .write(reinterpret_cast<const char*>(OneClick), sizeof OneClick);
    fs::current_path(folder);

    ASSERT_EQ(startMusic(), 0);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (musicPlaying() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(musicPlaying()) << "still playing after two minutes";
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // some silence after the end
    stopMusic();

    EXPECT_EQ(countClicks("fluidsynth.wav"), 201);
    fs::current_path(home);
    fs::remove_all(folder);
    MusicAudioDriver = nullptr;
}
