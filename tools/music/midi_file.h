// A Standard MIDI File in memory: tracks of timed channel messages, encoded
// as format 1 with the tempo in the first track.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct MidiEvent {
    int tick;       // from the start of the song
    uint8_t status; // channel message: kind | channel
    uint8_t data1;
    uint8_t data2;
};

struct MidiTrack {
    std::string name;
    std::vector<MidiEvent> events; // in any order; sorted when encoded
};

struct Song {
    int ticksPerQuarter;
    int microsPerQuarter;
    int lengthTicks; // every track ends here, so that a repeat comes in on time
    std::vector<MidiTrack> tracks;
};

void addNote(MidiTrack* track, int channel, int tick, int length, int key, int velocity);
void addControl(MidiTrack* track, int channel, int tick, int controller, int value);
void addProgram(MidiTrack* track, int channel, int tick, int program);

std::vector<uint8_t> encodeMidiFile(const Song& song);
