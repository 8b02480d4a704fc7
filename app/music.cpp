// Background music on the FluidSynth software synthesizer: settings, synth,
// audio output and MIDI player, made in that order by startMusic and released
// by stopMusic. Only these two functions write the state below, but for the
// loop and the tick, which the output thread writes while an output is open.

#include "app/music.h"
#include "app/music_loop.h"

#include <fluidsynth.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "app/data_file.h"
#include "app/failure_advice.h"
#include "app/settings.h"
#include "platform/checked_file.h"
#include "platform/platform.h"

const char* MusicSoundFont = nullptr;
const char* MusicAudioDriver = nullptr;

namespace {

// The synthesizer objects: all null until startMusic makes them, null again
// after stopMusic. A failed start leaves what it made for stopMusic.
fluid_settings_t* musicSettings = nullptr;   // options of everything below
fluid_synth_t* musicSynth = nullptr;         // the instruments, from the soundfont
fluid_audio_driver_t* musicOutput = nullptr; // the thread feeding the sound card
fluid_player_t* musicPlayer = nullptr;       // plays the MIDI file into the synth
bool musicHeld = false;      // the output is closed while the window is minimised; set by holdMusic
bool musicFedByLoop = false; // the open output calls feedOutput, else it renders the synth itself

// The loop: made by startMusic with the player, then the output thread's own
// once it has started that player; released by stopMusic after the thread.
MusicLoop musicLoop;                                 // round 1 kept and replayed
std::unique_ptr<int16_t[]> musicKept;                // the loop's memory
std::atomic<fluid_player_t*> musicStarting{nullptr}; // ready for the output thread to start
fluid_player_t* musicStarted = nullptr; // the player the output thread started and renders
int musicTick = 0; // the player's tick after the last block: a smaller one begins a round

constexpr const char* MusicFileName = "datas/jazz1.mid";
// The synthesizer's default period (64 frames, 1.5 ms) wakes its thread and the
// sound server hundreds of times a second, a fifth of a core for nothing: music
// that nobody plays along with can sit 0.4 s ahead in the server's buffer.
constexpr int MusicPeriodFrames = 8192; // the largest FluidSynth accepts
constexpr int MusicPeriods = 2;
// Synthesis is most of what music costs: at 32 kHz it costs 30% less than at 44.1
// kHz and still reaches 16 kHz, the top of most listeners' hearing.
constexpr double MusicSampleRate = 32000.0;
constexpr int MusicPlayCount = 201; // once, then 200 repeats: an evening and more
// Round 1 is kept in memory and replayed: two minutes of the game's tune take
// 15 MB. A tune longer than five minutes is synthesized all evening instead;
// the memory is only touched as far as the tune reaches.
constexpr int64_t KeptMusicFrames = 300 * static_cast<int64_t>(MusicSampleRate);
// Round 1's notes still sound as round 2 begins; over two seconds its opening
// gives way to round 1's, and with it that tail, long faded by then.
constexpr int MusicFadeFrames = 2 * static_cast<int>(MusicSampleRate);
// The player moves on once per block of the synthesizer's: round 2 is found
// to the block.
constexpr int SynthBlockFrames = 64;
// A MIDI file is a few kilobytes; hours of notes fit in a few hundred.
constexpr size_t MaxMusicBytes = size_t{4} << 20;

// Where Debian and most distributions put General MIDI soundfonts; the small
// one the game is mixed for comes first.
constexpr const char* SoundFontPlaces[] = {
    "/usr/share/sounds/sf2/TimGM6mb.sf2",   "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/soundfonts/default.sf2",    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/soundfonts/FluidR3_GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
};

// Sound servers first; ALSA only where a sound card exists, since on a machine
// without one its library prints pages of errors before failing. JACK is left
// out: a client may start a server of its own and hang the game's start-up.
constexpr const char* AudioDrivers[] = {"pipewire", "pulseaudio", "alsa"};

// The synthesizer's own log would repeat, less clearly, what our box says.
void discardLog(int, const char*, void*) {}

int fail(int step, const char* text) {
    const std::string message = failureBoxText(text, text);
    // A player who never sees the box (started from a terminal) still learns why it is quiet.
    std::fprintf(stderr, "korvath: %s\n", message.c_str());
    showMessageBox("Tavolant", message.c_str());
    return -step;
}

std::string findSoundFont() {
    if (MusicSoundFont) return access(MusicSoundFont, R_OK) == 0 ? MusicSoundFont : "";
    for (const char* path : SoundFontPlaces)
        if (access(path, R_OK) == 0) return path;
    return "";
}

// A RIFF file of instruments (SoundFont or DLS). Anything else is refused here:
// the synthesizer's own check would print library warnings of its own first.
bool isInstrumentFile(const std::string& path) {
    char header[12] = {};
    FILE* file = openRegularFile(path.c_str());
    if (!file) return false;
    size_t got = std::fread(header, 1, sizeof header, file);
    std::fclose(file);
    return got == sizeof header && std::memcmp(header, "RIFF", 4) == 0 &&
           (std::memcmp(header + 8, "sfbk", 4) == 0 || std::memcmp(header + 8, "DLS ", 4) == 0);
}

// The synthesizer's frames with its effects, as its own outputs render them;
// the frame at which the player began the tune's next round, or -1.
int renderLive(void*, float* left, float* right, int frames) {
    int began = -1;
    for (int done = 0; done < frames; done += SynthBlockFrames) {
        const int n = std::min(SynthBlockFrames, frames - done);
        fluid_synth_write_float(musicSynth, n, left, done, 1, right, done, 1);
        const int tick = fluid_player_get_current_tick(musicStarted);
        if (tick < musicTick && began < 0) began = done;
        musicTick = tick;
    }
    return began;
}

// The output's request, on its thread. The player is started here, at the
// first frame of a request, so that round 1 is kept from its first frame.
int feedOutput(void*, int len, int nfx, float* fx[], int nout, float* out[]) {
    // Only the first two channels are written below; any others stay silent.
    for (int k = 0; k < nfx; ++k) std::fill(fx[k], fx[k] + len, 0.0f);
    for (int k = nout < 2 ? 0 : 2; k < nout; ++k) std::fill(out[k], out[k] + len, 0.0f);
    if (nout < 2) return FLUID_OK; // no stereo pair to play into
    if (!musicStarted) {
        musicStarted = musicStarting.exchange(nullptr);
        if (!musicStarted) {
            fluid_synth_write_float(musicSynth, len, out[0], 0, 1, out[1], 0, 1);
            return FLUID_OK;
        }
        musicTick = 0;
        fluid_player_play(musicStarted);
    }
    playLoop(musicLoop, renderLive, nullptr, out[0], out[1], len);
    return FLUID_OK;
}

// An output fed from the loop, or, where the driver cannot call back (the
// file driver), one that renders the synthesizer all the way itself.
fluid_audio_driver_t* openOutput() {
    fluid_audio_driver_t* output = new_fluid_audio_driver2(musicSettings, feedOutput, nullptr);
    musicFedByLoop = output != nullptr;
    return output ? output : new_fluid_audio_driver(musicSettings, musicSynth);
}

// An output that renders the synthesizer itself never starts the player: it is
// started here.
void startPlayerUnlessFed() {
    if (musicFedByLoop) return;
    if (fluid_player_t* player = musicStarting.exchange(nullptr)) fluid_player_play(player);
}

fluid_audio_driver_t* openAudioOutput() {
    fluid_settings_setint(musicSettings, "audio.period-size", MusicPeriodFrames);
    fluid_settings_setint(musicSettings, "audio.periods", MusicPeriods);
    if (MusicAudioDriver) {
        fluid_settings_setstr(musicSettings, "audio.driver", MusicAudioDriver);
        return openOutput();
    }
    for (const char* driver : AudioDrivers) {
        if (std::strcmp(driver, "alsa") == 0 && access("/dev/snd", F_OK) != 0) continue;
        fluid_settings_setstr(musicSettings, "audio.driver", driver);
        if (fluid_audio_driver_t* output = openOutput()) return output;
    }
    return nullptr;
}

// The whole file, or empty when it is missing, is not a MIDI file or is longer
// than any tune: the player would only find out later, on its own thread, and
// stay silent. A file that never ends is read only up to the limit.
std::vector<char> readMusicFile() {
    std::vector<char> bytes;
    FILE* file = openDataFile(MusicFileName);
    if (!file) return bytes;
    char chunk[65536];
    size_t got;
    while (bytes.size() <= MaxMusicBytes && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    if (bytes.size() > MaxMusicBytes || bytes.size() < 14 ||
        std::memcmp(bytes.data(), "MThd", 4) != 0)
        bytes.clear();
    return bytes;
}

} // namespace

int startMusic() {
    if (MusicEnabled != 1) return 0; // the player turned the music off: make nothing at all
    assert(!musicSettings && "the music is started once");
    for (int level = FLUID_PANIC; level <= FLUID_DBG; level++)
        fluid_set_log_function(level, discardLog, nullptr);

    musicSettings = new_fluid_settings();
    if (!musicSettings) return fail(1, "Could not initialize COM");
    // Each repeat carries on from the last without resetting the instruments,
    // so the reverb tail rings over the loop point.
    fluid_settings_setint(musicSettings, "player.reset-synth", 0);
    fluid_settings_setnum(musicSettings, "synth.sample-rate", MusicSampleRate);

    std::string soundFont = findSoundFont();
    if (soundFont.empty()) return fail(2, "Could not create DMusic Loader");

    musicSynth = new_fluid_synth(musicSettings);
    if (!musicSynth) return fail(3, "Could not create DMusic Performance");

    if (!isInstrumentFile(soundFont) ||
        fluid_synth_sfload(musicSynth, soundFont.c_str(), 1) == FLUID_FAILED)
        return fail(4, "Could not initialize performance");

    fluid_synth_set_gain(musicSynth, 0.6f);

    musicOutput = openAudioOutput();
    if (!musicOutput) return fail(6, "Could not add port to performance");

    std::vector<char> midi = readMusicFile();
    musicPlayer = midi.empty() ? nullptr : new_fluid_player(musicSynth);
    if (!musicPlayer || fluid_player_add_mem(musicPlayer, midi.data(), midi.size()) != FLUID_OK)
        return fail(7, "Could not load segment");

    fluid_player_set_loop(musicPlayer, MusicPlayCount);
    // Without memory for it the loop plays live throughout, as a long tune does.
    musicKept.reset(new (std::nothrow) int16_t[2 * KeptMusicFrames]);
    startLoop(musicLoop, musicKept.get(), KeptMusicFrames, MusicPlayCount, MusicFadeFrames);
    musicStarting = musicPlayer;
    startPlayerUnlessFed();
    return 0;
}

bool musicPlaying() {
    if (!musicPlayer || musicLoop.ended) return false;
    return musicStarting != nullptr || fluid_player_get_status(musicPlayer) == FLUID_PLAYER_PLAYING;
}

void holdMusic(bool hold) {
    if (hold == musicHeld) return;
    if (hold) {
        // Music that never started, or has ended, has nothing to hold.
        if (!musicOutput || !musicPlaying()) return;
        // The player is timed by the samples the output asks for, so with the
        // output gone the tune stops where it is, notes and all.
        delete_fluid_audio_driver(musicOutput);
        musicOutput = nullptr;
        musicHeld = true;
        return;
    }
    musicHeld = false;
    musicOutput = openAudioOutput();
    if (!musicOutput)
        std::fprintf(stderr,
                     "korvath: the sound output did not reopen; the game goes on without music\n");
    else
        startPlayerUnlessFed();
}

int stopMusic() {
    // The output thread renders through the synth, and the synth calls the
    // player on that thread: the thread must be gone before either is freed.
    // No join on the player: one that never started would be waited for forever.
    if (musicPlayer) fluid_player_stop(musicPlayer);
    if (musicOutput) {
        delete_fluid_audio_driver(musicOutput);
        musicOutput = nullptr;
    }
    musicStarting = nullptr;
    musicStarted = nullptr;
    musicKept.reset();
    startLoop(musicLoop, nullptr, 0, 1, 1); // nothing kept, nothing ended
    if (musicPlayer) {
        delete_fluid_player(musicPlayer);
        musicPlayer = nullptr;
    }
    if (musicSynth) {
        delete_fluid_synth(musicSynth);
        musicSynth = nullptr;
    }
    if (musicSettings) {
        delete_fluid_settings(musicSettings);
        musicSettings = nullptr;
    }
    musicHeld = false;
    return 0;
}
