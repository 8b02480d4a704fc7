// The background music: its start and its failure paths (each names its step
// in a "Tavolant" box, standard error on the headless backend, and the game
// carries on), its 201 rounds heard through FluidSynth's file output, and the
// generated "jazz1.mid" itself, byte for byte the tune last listened to.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/failure_advice.h"
#include "app/music.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The i-th 16-bit sample of a WAV file, after its 44-byte header.
int sampleAt(const std::vector<uint8_t>& wav, size_t i) {
    return static_cast<int16_t>(wav[44 + 2 * i] | wav[45 + 2 * i] << 8);
}

// Runs each test in a folder of its own (FluidSynth's file output lands in the
// current folder), holding a copy of the game's music.
class Music : public testing::Test {
  protected:
    void SetUp() override {
        selectBackend(Backend::Headless);
        MusicEnabled = 1;
        MusicSoundFont = nullptr;
        MusicAudioDriver = "file";
        home = fs::current_path();
        folder =
            fs::path(testing::TempDir()) /
            (std::string("music_") + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder / "datas");
        fs::copy_file(fs::path(KORVATH_DATA_DIR) / "DATAS" / "jazz1.mid",
                      folder / "datas" / "jazz1.mid");
        fs::current_path(folder);
    }
    void TearDown() override {
        stopMusic();
        fs::current_path(home);
        fs::remove_all(folder);
        MusicSoundFont = nullptr;
        MusicAudioDriver = nullptr;
    }
    // startMusic's result, with what it wrote to standard error.
    int start(std::string* box) {
        testing::internal::CaptureStderr();
        int result = startMusic();
        *box = testing::internal::GetCapturedStderr();
        return result;
    }
    fs::path home, folder;
};

// The tune replaced by what the shell command makes of "datas/jazz1.mid".
void replaceTune(const std::string& command) {
    fs::remove("datas/jazz1.mid");
    ASSERT_EQ(std::system((command + " datas/jazz1.mid").c_str()), 0);
}

long peakMemoryKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// No sound server to reach; ALSA is tried only where there is a sound card.
void noSoundServer() {
    setenv("PIPEWIRE_REMOTE", "/nonexistent/pipewire-0", 1);
    setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
    MusicAudioDriver = nullptr;
}

// Music turned off makes nothing, though it could play; a failed step writes a
// plain line, then the box.
TEST_F(Music, EachFailureShowsItsStepsMessageAndTheGameGoesOn) {
    std::ofstream("not_a_soundfont.sf2") << "plain text, not instruments";
    const struct {
        int step;
        std::string message;
        void (*prepare)();
    } cases[] = {
        {0, "", [] { MusicEnabled = 0; }},
        {0, "", [] { MusicEnabled = 2; }},
        {-2, "Could not create DMusic Loader", [] { MusicSoundFont = "/nonexistent/none.sf2"; }},
        {-4, "Could not initialize performance", [] { MusicSoundFont = "not_a_soundfont.sf2"; }},
        {-6, "Could not add port to performance", [] { MusicAudioDriver = "no-such-driver"; }},
        {-6, "Could not add port to performance", noSoundServer},
        {-7, "Could not load segment", [] { fs::remove("datas/jazz1.mid"); }},
        {-7, "Could not load segment", [] { std::ofstream("datas/jazz1.mid") << "not music"; }},
        // Neither a pipe nor a file without end may hang the start or fill the memory.
        {-7, "Could not load segment", [] { replaceTune("mkfifo"); }},
        {-7, "Could not load segment", [] { replaceTune("ln -s /dev/zero"); }},
        {-7, "Could not load segment",
         [] { replaceTune("echo MThd > datas/jazz1.mid; truncate -s 4G"); }},
    };
    const long peakBefore = peakMemoryKiB();
    for (const auto& c : cases) {
        if (c.prepare == noSoundServer && access("/dev/snd", F_OK) == 0) continue;
        MusicEnabled = 1;
        MusicSoundFont = nullptr;
        MusicAudioDriver = "file";
        c.prepare();
        const std::string& m = c.message;
        std::string box;
        EXPECT_EQ(start(&box), c.step) << m;
        // The box's text, advice and all, on standard error too.
        const std::string text = failureBoxText(m.c_str(), m.c_str());
        EXPECT_EQ(box, m.empty() ? m : "korvath: " + text + "\nTavolant: " + text + "\n");
        EXPECT_TRUE(m.empty() || text.starts_with(m + "\n")) << text;
        EXPECT_FALSE(musicPlaying()) << m;
        EXPECT_EQ(stopMusic(), 0) << m;
    }
    // The synthesizer takes its share (more under the sanitizer); the 4 GiB file read
    // whole would take far more.
    EXPECT_LT(peakMemoryKiB() - peakBefore, 1024 * 1024);
}

// Stopping while the output thread is mid-render must not free what it renders
// through (AddressSanitizer catches it). A file damaged inside its first track
// keeps that thread busy in the player for long under the sanitizer: one round
// of it, once the player has begun, made the race certain. Every test stops
// twice (once more on tear-down), which must be harmless too.
TEST_F(Music, StartingAndStoppingOverAndOverIsSafe) {
    const std::vector<uint8_t> bytes = readAll("datas/jazz1.mid");
    const std::string tune(bytes.begin(), bytes.end());
    const std::string damaged = tune.substr(0, 826) + "\xFF\xFF\xFF\xFF" + tune.substr(826);
    for (const auto& [file, rounds] : {std::pair(tune, 16), std::pair(damaged, 1)}) {
        std::ofstream("datas/jazz1.mid", std::ios::binary) << file;
        for (int round = 0; round < rounds; ++round) {
            std::string box;
            ASSERT_EQ(start(&box), 0) << box;
            EXPECT_EQ(box, "");
            std::this_thread::sleep_for(
                std::chrono::milliseconds(rounds == 1 ? 20 : round % 5 * 3));
            EXPECT_EQ(stopMusic(), 0);
            EXPECT_FALSE(musicPlaying());
        }
    }
}

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

// Clicks in a stereo WAV, by the left channel's peak in each millisecond: a
// click is a loud millisecond after at least five quiet ones, its ringing
// dying down well before the next, 60 ms later.
int countClicks(const std::vector<uint8_t>& wav) {
    int clicks = 0, quiet = 5;
    for (size_t ms = 0; 44 + (ms + 1) * 44 * 4 <= wav.size(); ++ms) {
        int peak = 0;
        for (size_t i = ms * 88; i < (ms + 1) * 88; i += 2)
            peak = std::max(peak, std::abs(sampleAt(wav, i)));
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

// About ten seconds of real-time playing; the only run of the repeat code, so
// the sanitizer run keeps it.
TEST_F(Music, TheFilePlaysOncePlusTwoHundredRepeats) {
    std::ofstream("datas/jazz1.mid", std::ios::binary)
        .write(reinterpret_cast<const char*>(OneClick), sizeof OneClick);
    ASSERT_EQ(startMusic(), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (musicPlaying() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(musicPlaying()) << "still playing after two minutes";
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // some silence after the end
    stopMusic();
    EXPECT_EQ(countClicks(readAll("fluidsynth.wav")), 201);
}

// Minimised, the game holds the music: the output closes (the file driver's
// WAV stops growing) while the tune still counts as playing, and restoring
// reopens it. Holding music that is not playing does nothing.
TEST_F(Music, HoldingClosesTheOutputAndReleasingReopensIt) {
    holdMusic(true);
    holdMusic(false);
    ASSERT_EQ(startMusic(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    holdMusic(true);
    const auto heldSize = fs::file_size("fluidsynth.wav");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(fs::file_size("fluidsynth.wav"), heldSize);
    EXPECT_TRUE(musicPlaying());
    holdMusic(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_GT(fs::file_size("fluidsynth.wav"), 44u);
    EXPECT_TRUE(musicPlaying());
}

// The tune as it was listened to and read when it was written: format 1, five
// tracks (tempo, piano, vibraphone, bass, drums), each ending on the last tick
// of bar 64 with every note released, two minutes of sound without a gap with
// the soundfont it is mixed for. korvath-music writes the same bytes on every
// build; a tune meant to change is heard and read so, then copied over it.
TEST_F(Music, TheGeneratedTuneIsTheOneListenedTo) {
    EXPECT_TRUE(readAll("datas/jazz1.mid") ==
                readAll(fs::path(KORVATH_SOURCE_DIR) / "tests" / "music" / "jazz1.mid"));
}

} // namespace
