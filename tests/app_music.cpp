// The background music's start and its failure paths: each failure names its
// step in a "Tavolant" box (standard error on the headless backend) and the
// game carries on; a successful start plays into FluidSynth's file output.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/music.h"
#include "app/settings.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

// Runs each test in a folder of its own (FluidSynth's file output lands in the
// current folder), holding a copy of the game's music unless told otherwise.
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
    // What a failed step writes to standard error: the plain line, then the box.
    static std::string failureLines(const std::string& message) {
        return "korvath: " + message + "; the game goes on without music\nTavolant: " + message +
               "\n";
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

} // namespace

TEST_F(Music, StartsAndStopsCleanly) {
    std::string box;
    EXPECT_EQ(start(&box), 0);
    EXPECT_EQ(box, "");
    EXPECT_TRUE(musicPlaying());
    EXPECT_EQ(stopMusic(), 0);
    EXPECT_FALSE(musicPlaying());
    // Stopping twice, or starting again afterwards, is safe.
    EXPECT_EQ(stopMusic(), 0);
    EXPECT_EQ(start(&box), 0);
}

TEST_F(Music, DisabledMusicMakesNothing) {
    MusicEnabled = 0;
    MusicSoundFont = "/nonexistent/none.sf2"; // would fail if anything were tried
    std::string box;
    EXPECT_EQ(start(&box), 0);
    EXPECT_EQ(box, "");
    EXPECT_FALSE(musicPlaying());
    MusicEnabled = 2;
    EXPECT_EQ(start(&box), 0);
    EXPECT_EQ(box, "");
}

TEST_F(Music, EachFailureShowsItsStepsMessageAndTheGameGoesOn) {
    struct Case {
        const char* what;
        int step;
        const char* message;
    };
    std::ofstream("not_a_soundfont.sf2") << "plain text, not instruments";
    std::ofstream("not_midi.mid") << "plain text, not music";
    const Case cases[] = {{"no soundfont", -2, "Could not create DMusic Loader"},
                          {"unreadable soundfont", -4, "Could not initialize performance"},
                          {"no audio output", -6, "Could not add port to performance"},
                          {"no system output", -6, "Could not add port to performance"},
                          {"no music file", -7, "Could not load segment"},
                          {"not a MIDI file", -7, "Could not load segment"}};
    for (const Case& c : cases) {
        MusicSoundFont = nullptr;
        MusicAudioDriver = "file";
        std::string what = c.what;
        if (what == "no soundfont") MusicSoundFont = "/nonexistent/none.sf2";
        if (what == "unreadable soundfont") MusicSoundFont = "not_a_soundfont.sf2";
        if (what == "no audio output") MusicAudioDriver = "no-such-driver";
        if (what == "no music file") fs::remove("datas/jazz1.mid");
        if (what == "not a MIDI file") fs::copy_file("not_midi.mid", "datas/jazz1.mid");
        if (what == "no system output") {
            // No sound server to reach; ALSA is tried only where there is a sound card.
            if (access("/dev/snd", F_OK) == 0) continue;
            setenv("PIPEWIRE_REMOTE", "/nonexistent/pipewire-0", 1);
            setenv("PULSE_SERVER", "unix:/nonexistent/pulse/native", 1);
            MusicAudioDriver = nullptr;
        }
        std::string box;
        EXPECT_EQ(start(&box), c.step) << c.what;
        EXPECT_EQ(box, failureLines(c.message)) << c.what;
        EXPECT_FALSE(musicPlaying()) << c.what;
        EXPECT_EQ(stopMusic(), 0) << c.what;
    }
}

// Stopping while the output thread is mid-render must not free what it renders
// through (AddressSanitizer catches it). A file damaged inside its first track
// keeps that thread busy in the player for long under the sanitizer: one round
// of it, once the player has begun, made the race certain.
TEST_F(Music, StartingAndStoppingOverAndOverIsSafe) {
    std::ifstream in("datas/jazz1.mid", std::ios::binary);
    const std::string tune{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::string damaged = tune.substr(0, 826) + "\xFF\xFF\xFF\xFF" + tune.substr(826);
    struct Case {
        const std::string& file;
        int rounds;
    };
    for (const Case& c : {Case{tune, 16}, Case{damaged, 1}}) {
        std::ofstream("datas/jazz1.mid", std::ios::binary) << c.file;
        for (int round = 0; round < c.rounds; ++round) {
            std::string box;
            ASSERT_EQ(start(&box), 0) << box;
            const int playMs = c.rounds == 1 ? 20 : round % 5 * 3;
            std::this_thread::sleep_for(std::chrono::milliseconds(playMs));
            EXPECT_EQ(stopMusic(), 0);
        }
    }
}
