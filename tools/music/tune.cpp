// The tune: chord changes, the written head, and the players (walking bass,
// comping and soloing piano, ride-cymbal swing) who improvise from a fixed
// seed, so that every build writes the same file.

#include "tune.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

namespace {

constexpr int Quarter = 480;
constexpr int Bar = 4 * Quarter;
constexpr int SwungOffbeat = 310; // where the second eighth of a beat falls
constexpr int ChorusBars = 32;

enum Channel { Piano = 0, Vibes = 1, Bass = 2, Drums = 9 };
enum Drum {
    Kick = 36,
    Snare = 38,
    FloorTom = 41,
    PedalHat = 44,
    LowTom = 45,
    Crash = 49,
    Ride = 51
};

// ---- Randomness: a small generator of our own, so the file never changes ----
struct Dice {
    uint32_t state;
};

int roll(Dice* dice, int n) {
    dice->state = dice->state * 1664525u + 1013904223u;
    return static_cast<int>((dice->state >> 8) % static_cast<uint32_t>(n));
}

bool chance(Dice* dice, int percent) {
    return roll(dice, 100) < percent;
}

int jitter(Dice* dice, int spread) {
    return roll(dice, 2 * spread + 1) - spread;
}

// ---- Harmony ----
enum Quality { Maj7, Min7, Dom7, HalfDim };

struct Chord {
    int root; // pitch class, C = 0
    Quality quality;
};

constexpr int F = 5, G = 7, A = 9, Bb = 10, C = 0, D = 2, Eb = 3;

const int* chordTones(Quality q) {
    static const int tones[4][4] = {{0, 4, 7, 11}, {0, 3, 7, 10}, {0, 4, 7, 10}, {0, 3, 6, 10}};
    return tones[q];
}

const int* scaleOf(Quality q) {
    static const int scales[4][7] = {{0, 2, 4, 5, 7, 9, 11},
                                     {0, 2, 3, 5, 7, 9, 10},
                                     {0, 2, 4, 5, 7, 9, 10},
                                     {0, 1, 3, 5, 6, 8, 10}};
    return scales[q];
}

bool inSet(int pitch, int root, const int* set, int count) {
    int pc = ((pitch - root) % 12 + 12) % 12;
    for (int i = 0; i < count; i++)
        if (set[i] == pc) return true;
    return false;
}

bool isChordTone(int pitch, Chord chord) {
    return inSet(pitch, chord.root, chordTones(chord.quality), 4);
}
bool isScaleTone(int pitch, Chord chord) {
    return inSet(pitch, chord.root, scaleOf(chord.quality), 7);
}

// One bar holds one chord or two (two beats each).
struct BarChords {
    Chord first;
    Chord second;
    bool split;
};

BarChords one(int root, Quality q) {
    return {{root, q}, {root, q}, false};
}
BarChords two(int r1, Quality q1, int r2, Quality q2) {
    return {{r1, q1}, {r2, q2}, true};
}

// The changes: A A B A, each A turning back to the top through ii-V.
std::array<BarChords, ChorusBars> changes() {
    std::array<BarChords, 8> a1 = {one(F, Maj7),          one(D, Min7),          one(G, Min7),
                                   one(C, Dom7),          two(C, Min7, F, Dom7), one(Bb, Maj7),
                                   two(A, Min7, D, Dom7), two(G, Min7, C, Dom7)};
    std::array<BarChords, 8> a2 = a1;
    a2[6] = two(Bb, Min7, Eb, Dom7);
    a2[7] = one(F, Maj7);
    std::array<BarChords, 8> b = {
        one(C, Min7), one(F, Dom7), one(Bb, Maj7), two(Bb, Min7, Eb, Dom7),
        one(A, Min7), one(D, Dom7), one(G, Min7),  one(C, Dom7)};
    std::array<BarChords, ChorusBars> form;
    for (int i = 0; i < 8; i++) {
        form[i] = a1[i];
        form[8 + i] = a2[i];
        form[16 + i] = b[i];
        form[24 + i] = a1[i];
    }
    return form;
}

Chord chordAt(const std::array<BarChords, ChorusBars>& form, int bar, int beat) {
    const BarChords& b = form[bar % ChorusBars];
    return beat >= 2 && b.split ? b.second : b.first;
}

// ---- Time ----
// Eighth-note slots, swung: the odd ones come late in their beat.
int slotTick(int bar, int slot) {
    return bar * Bar + (slot / 2) * Quarter + (slot % 2 ? SwungOffbeat : 0);
}

struct Band {
    Song song;
    MidiTrack* piano;
    MidiTrack* vibes;
    MidiTrack* bass;
    MidiTrack* drums;
    Dice dice;
};

// Humans are never quite on the grid, and nothing may spill past the loop point.
void play(Band* band, MidiTrack* track, int channel, int tick, int length, int key, int velocity,
          int spread) {
    tick = std::max(0, tick + jitter(&band->dice, spread));
    length = std::min(length, band->song.lengthTicks - tick);
    if (length <= 0) return;
    addNote(track, channel, tick, length, key, velocity + jitter(&band->dice, 6));
}

// ---- The head, on vibraphone: eighth slot, pitch, length in slots ----
struct HeadNote {
    int slot, pitch, length;
};
using HeadBar = std::vector<HeadNote>;

std::array<HeadBar, ChorusBars> head() {
    HeadBar a1[8] = {
        {{0, 69, 2}, {2, 72, 1}, {3, 76, 3}, {6, 74, 1}, {7, 72, 1}},
        {{0, 69, 3}, {5, 67, 1}, {6, 69, 1}, {7, 72, 1}},
        {{0, 70, 2}, {2, 74, 1}, {3, 77, 3}, {6, 76, 1}, {7, 74, 1}},
        {{0, 70, 3}, {5, 69, 1}, {6, 70, 1}, {7, 71, 1}},
        {{0, 72, 2}, {2, 75, 1}, {3, 74, 1}, {4, 72, 1}, {5, 69, 3}},
        {{0, 74, 4}, {5, 72, 1}, {6, 74, 1}, {7, 77, 1}},
        {{0, 76, 3}, {3, 72, 1}, {4, 69, 2}, {6, 66, 1}, {7, 69, 1}},
        {{0, 67, 3}, {5, 64, 1}, {6, 65, 1}, {7, 67, 1}},
    };
    HeadBar a2Ending[2] = {
        {{0, 73, 2}, {2, 72, 1}, {3, 70, 1}, {4, 67, 2}, {6, 70, 1}, {7, 73, 1}},
        {{0, 72, 1}, {1, 69, 5}},
    };
    HeadBar bridge[8] = {
        {{1, 67, 1}, {2, 70, 1}, {3, 75, 3}, {6, 74, 1}, {7, 72, 1}},
        {{0, 69, 3}, {5, 75, 1}, {6, 74, 1}, {7, 72, 1}},
        {{0, 74, 4}, {4, 72, 1}, {5, 74, 1}, {6, 77, 2}},
        {{0, 77, 2}, {2, 73, 1}, {3, 72, 1}, {4, 70, 2}, {6, 67, 2}},
        {{0, 72, 2}, {2, 76, 1}, {3, 79, 3}, {6, 76, 1}, {7, 72, 1}},
        {{0, 78, 3}, {3, 76, 1}, {4, 74, 1}, {5, 72, 1}, {6, 69, 2}},
        {{0, 70, 4}, {5, 74, 1}, {6, 77, 1}, {7, 76, 1}},
        {{0, 76, 2}, {2, 74, 1}, {3, 72, 1}, {4, 70, 2}, {6, 67, 1}, {7, 68, 1}},
    };
    std::array<HeadBar, ChorusBars> form;
    for (int i = 0; i < 8; i++) {
        form[i] = a1[i];
        form[8 + i] = i < 6 ? a1[i] : a2Ending[i - 6];
        form[16 + i] = bridge[i];
        form[24 + i] = a1[i];
    }
    return form;
}

void playHead(Band* band, int firstBar) {
    std::array<HeadBar, ChorusBars> tune = head();
    for (int bar = 0; bar < ChorusBars; bar++) {
        for (const HeadNote& n : tune[bar]) {
            int start = slotTick(firstBar + bar, n.slot);
            int end = slotTick(firstBar + bar + (n.slot + n.length) / 8, (n.slot + n.length) % 8);
            // Long notes and pushed offbeats carry the line; short offbeats pass by.
            int velocity = 86;
            if (n.slot % 2 && n.length >= 2) velocity += 10;
            if (n.slot % 2 && n.length == 1) velocity -= 8;
            if (n.slot == 0) velocity += 4;
            play(band, band->vibes, Vibes, start + 6, end - start - 30, n.pitch, velocity, 8);
        }
    }
}

// The pickup that leads the piano chorus back into the head on every repeat.
void playPickup(Band* band, int bar) {
    const HeadNote pickup[3] = {{5, 64, 1}, {6, 65, 1}, {7, 67, 1}};
    for (const HeadNote& n : pickup)
        play(band, band->vibes, Vibes, slotTick(bar, n.slot) + 6, 170, n.pitch, 80, 6);
}

// ---- Walking bass ----
int nearestPitch(int pitchClass, int near, int low, int high) {
    int best = -1;
    for (int p = low; p <= high; p++)
        if (p % 12 == pitchClass && (best < 0 || std::abs(p - near) < std::abs(best - near)))
            best = p;
    return best;
}

// A chord tone or scale step one beat from the last note, moving toward target.
int walkToward(Band* band, int from, int target, Chord chord) {
    int direction = target > from ? 1 : -1;
    if (target == from) direction = chance(&band->dice, 50) ? 1 : -1;
    for (int step = 1; step <= 5; step++) {
        int p = from + direction * step;
        if (isChordTone(p, chord) && (step >= 3 || chance(&band->dice, 60))) return p;
        if (isScaleTone(p, chord) && step <= 2 && chance(&band->dice, 50)) return p;
    }
    return from + direction * 2;
}

void walkBass(Band* band, const std::array<BarChords, ChorusBars>& form, int firstBar, int bars) {
    constexpr int Low = 28, High = 48;
    int last = 41; // F below the bass clef's middle
    for (int bar = firstBar; bar < firstBar + bars; bar++) {
        for (int beat = 0; beat < 4; beat++) {
            Chord chord = chordAt(form, bar, beat);
            bool spanStart = beat == 0 || (beat == 2 && form[bar % ChorusBars].split);
            bool spanEnd = beat == 3 || (beat == 1 && form[bar % ChorusBars].split);
            Chord next = chordAt(form, beat == 3 ? bar + 1 : bar, beat == 3 ? 0 : beat + 1);
            int note;
            if (spanStart) {
                note = nearestPitch(chord.root, last, Low + 2, High - 4);
            } else if (spanEnd) {
                int target = nearestPitch(next.root, last, Low + 2, High - 4);
                int kind = roll(&band->dice, 10);
                if (kind < 4)
                    note = target - 1;
                else if (kind < 7)
                    note = target + 1;
                else
                    note = target + (target + 7 <= High ? 7 : -5);
                if (note == last) note = target - 1;
            } else {
                int target = nearestPitch(next.root, last, Low + 2, High - 4);
                note = walkToward(band, last, target + (chance(&band->dice, 30) ? 12 : 0), chord);
            }
            note = std::clamp(note, Low, High);
            int velocity = beat == 0 ? 96 : (beat % 2 ? 90 : 86);
            play(band, band->bass, Bass, bar * Bar + beat * Quarter, Quarter - 40, note, velocity,
                 5);
            // Now and then a dead-note skip into the next beat, as a player's hand does.
            if (beat == 3 && chance(&band->dice, 12))
                play(band, band->bass, Bass, bar * Bar + beat * Quarter + SwungOffbeat, 90, note,
                     50, 3);
            last = note;
        }
    }
}

// ---- Piano comping: rootless voicings led smoothly from chord to chord ----
std::vector<int> voicing(Chord chord, const std::vector<int>& previous, bool shellOnly) {
    // Rootless: third and seventh with the ninth and the fifth (or thirteenth).
    int third = chord.quality == Maj7 || chord.quality == Dom7 ? 4 : 3;
    int seventh = chord.quality == Maj7 ? 11 : 10;
    int colour = chord.quality == Dom7 ? 9 : (chord.quality == HalfDim ? 6 : 7);
    int ninth = chord.quality == HalfDim ? 0 : 2;
    std::vector<std::vector<int>> shapes =
        shellOnly ? std::vector<std::vector<int>>{{third, seventh}, {seventh, third + 12}}
                  : std::vector<std::vector<int>>{{third, colour, seventh, ninth + 12},
                                                  {seventh, ninth + 12, third + 12, colour + 12}};
    int lowLimit = shellOnly ? 50 : 52;
    int highLimit = shellOnly ? 64 : 72;
    int centre = previous.empty() ? 60 : previous[0];
    std::vector<int> best;
    int bestDistance = 1 << 30;
    for (const std::vector<int>& shape : shapes) {
        for (int octave = 36; octave <= 72; octave += 12) {
            std::vector<int> notes;
            for (int interval : shape) notes.push_back(octave + chord.root + interval);
            if (notes.front() < lowLimit || notes.back() > highLimit) continue;
            int distance = std::abs(notes.front() - centre);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = notes;
            }
        }
    }
    return best;
}

struct CompHit {
    int slot, length; // in eighth slots; slot 7 anticipates the next bar's chord
};

struct Comping {
    std::vector<int> voicing; // the last chord struck, to lead the next one from
    bool anticipated;         // the last bar pushed its next chord onto the and of four
};

void compBar(Band* band, const std::array<BarChords, ChorusBars>& form, int bar, Comping* comping,
             bool sparse) {
    static const std::vector<std::vector<CompHit>> wholeBar = {
        {{0, 2}, {3, 1}}, {{1, 1}, {4, 2}}, {{0, 4}}, {{3, 3}}, {{2, 1}, {7, 1}}, {{1, 2}, {6, 1}}};
    static const std::vector<std::vector<CompHit>> splitBar = {
        {{0, 1}, {4, 1}}, {{1, 1}, {5, 2}}, {{0, 2}, {5, 1}}, {{3, 1}, {4, 2}}};
    bool split = form[bar % ChorusBars].split;
    const auto& choices = split ? splitBar : wholeBar;
    const std::vector<CompHit>& hits = choices[roll(&band->dice, static_cast<int>(choices.size()))];
    bool anticipated = comping->anticipated;
    comping->anticipated = false;
    for (const CompHit& hit : hits) {
        if (hit.slot == 0 && anticipated) continue; // that chord is already sounding
        if (sparse && chance(&band->dice, 35)) continue;
        Chord chord = hit.slot == 7 ? chordAt(form, bar + 1, 0) : chordAt(form, bar, hit.slot / 2);
        comping->anticipated = hit.slot == 7;
        std::vector<int>* lastVoicing = &comping->voicing;
        *lastVoicing = voicing(chord, *lastVoicing, sparse);
        int length = hit.length == 1 ? 170 : hit.length * Quarter / 2 - 60;
        int velocity = 58 + roll(&band->dice, 14) + (hit.slot % 2 ? 6 : 0);
        int tick = slotTick(bar, hit.slot);
        // A slight roll from the bottom note up, as fingers land.
        for (size_t i = 0; i < lastVoicing->size(); i++)
            play(band, band->piano, Piano, tick + static_cast<int>(i) * 4, length,
                 (*lastVoicing)[i], velocity + static_cast<int>(i) * 3, 6);
    }
}

// ---- Piano solo: swung eighth lines, chord tones on the beats ----
int chordToneNear(int pitch, Chord chord) {
    for (int d = 0; d < 6; d++) {
        if (isChordTone(pitch + d, chord)) return pitch + d;
        if (isChordTone(pitch - d, chord)) return pitch - d;
    }
    return pitch;
}

void soloChorus(Band* band, const std::array<BarChords, ChorusBars>& form, int firstBar) {
    constexpr int Low = 60, High = 86;
    int slot = 2; // eighth slots from the chorus start
    int last = 72;
    int lastSlot = (ChorusBars - 1) * 8 + 2; // room for the head's pickup
    while (slot < lastSlot) {
        int phraseEnd = std::min(lastSlot, slot + 8 + roll(&band->dice, 14));
        int direction = chance(&band->dice, 50) ? 1 : -1;
        Chord chord = chordAt(form, firstBar + slot / 8, (slot % 8) / 2);
        int note = chordToneNear(last + jitter(&band->dice, 4), chord);
        while (slot < phraseEnd) {
            int bar = firstBar + slot / 8;
            chord = chordAt(form, bar, (slot % 8) / 2);
            bool closing = slot + 2 >= phraseEnd;
            int length = closing ? 3 + roll(&band->dice, 2) : (chance(&band->dice, 15) ? 2 : 1);
            if (slot % 2 == 0 && !isChordTone(note, chord)) note = chordToneNear(note, chord);
            int start = slotTick(bar, slot % 8);
            int endSlot = slot + length;
            int end = slotTick(firstBar + endSlot / 8, endSlot % 8);
            // Offbeats a touch louder: the accent that makes eighths swing.
            int velocity = 74 + (slot % 2 ? 8 : 0) + (note > last ? 4 : 0);
            play(band, band->piano, Piano, start + 4, end - start - 25, note, velocity, 6);
            last = note;
            slot = endSlot;
            if (chance(&band->dice, 18)) direction = -direction;
            if (note > High - 4) direction = -1;
            if (note < Low + 4) direction = 1;
            Chord upcoming = chordAt(form, firstBar + slot / 8, (slot % 8) / 2);
            int step = chance(&band->dice, 15) ? 3 + roll(&band->dice, 2) : 1;
            int next = note;
            for (int moved = 0; moved < step;) {
                next += direction;
                if (isScaleTone(next, upcoming) || (step == 1 && chance(&band->dice, 20))) moved++;
            }
            note = std::clamp(next, Low, High);
        }
        slot += 2 + roll(&band->dice, 4); // breathe
    }
}

// ---- Drums: the ride carries the swing, the rest colours it ----
void playDrums(Band* band, int firstBar, int bars, bool busy) {
    auto hit = [&](int tick, int drum, int velocity, int spread) {
        play(band, band->drums, Drums, tick, 60, drum, velocity, spread);
    };
    for (int bar = firstBar; bar < firstBar + bars; bar++) {
        int inChorus = bar % ChorusBars;
        if (inChorus == 0) hit(bar * Bar, Crash, 72, 0);
        const int rideSlots[6] = {0, 2, 3, 4, 6, 7};
        const int rideVelocity[6] = {70, 84, 52, 70, 84, 52};
        for (int i = 0; i < 6; i++) hit(slotTick(bar, rideSlots[i]), Ride, rideVelocity[i], 4);
        hit(slotTick(bar, 2), PedalHat, 62, 3);
        hit(slotTick(bar, 6), PedalHat, 62, 3);
        for (int beat = 0; beat < 4; beat++) hit(bar * Bar + beat * Quarter, Kick, 28, 3);

        bool sectionEnd = inChorus % 8 == 7;
        if (sectionEnd) {
            // A triplet fill on the last beat sets up the next eight bars.
            int start = bar * Bar + 3 * Quarter;
            bool chorusEnd = inChorus == ChorusBars - 1;
            hit(start, Snare, 52, 2);
            hit(start + Quarter / 3, chorusEnd ? LowTom : Snare, 62, 2);
            hit(start + 2 * Quarter / 3, chorusEnd ? FloorTom : Snare, 72, 2);
            continue;
        }
        int comps = roll(&band->dice, busy ? 3 : 2);
        for (int i = 0; i < comps; i++) {
            int slot = 1 + 2 * roll(&band->dice, 4);
            hit(slotTick(bar, slot), Snare, 34 + roll(&band->dice, 22), 4);
        }
        if (busy && chance(&band->dice, 15)) hit(slotTick(bar, 7), Kick, 58, 3);
    }
}

void setUpChannel(MidiTrack* track, int channel, int program, int volume, int pan, int reverb) {
    if (channel != Drums) addProgram(track, channel, 0, program);
    addControl(track, channel, 0, 7, volume);
    addControl(track, channel, 0, 10, pan);
    addControl(track, channel, 0, 91, reverb);
    addControl(track, channel, 0, 93, 0);
}

} // namespace

Song composeTune() {
    Band band{};
    band.song.ticksPerQuarter = Quarter;
    band.song.microsPerQuarter = 60000000 / TuneBeatsPerMinute;
    band.song.lengthTicks = TuneBars * Bar;
    band.song.tracks = {{"Piano", {}}, {"Vibraphone", {}}, {"Bass", {}}, {"Drums", {}}};
    band.piano = &band.song.tracks[0];
    band.vibes = &band.song.tracks[1];
    band.bass = &band.song.tracks[2];
    band.drums = &band.song.tracks[3];
    band.dice.state = 1958;

    setUpChannel(band.piano, Piano, 0, 84, 44, 40);
    setUpChannel(band.vibes, Vibes, 11, 96, 84, 48);
    setUpChannel(band.bass, Bass, 32, 110, 60, 24);
    setUpChannel(band.drums, Drums, 0, 92, 64, 36);

    std::array<BarChords, ChorusBars> form = changes();
    playHead(&band, 0);
    soloChorus(&band, form, ChorusBars);
    playPickup(&band, TuneBars - 1);
    Comping comping{};
    for (int bar = 0; bar < TuneBars; bar++) compBar(&band, form, bar, &comping, bar >= ChorusBars);
    walkBass(&band, form, 0, TuneBars);
    playDrums(&band, 0, ChorusBars, false);
    playDrums(&band, ChorusBars, ChorusBars, true);
    return band.song;
}
