// Encoding of a Song as a Standard MIDI File (format 1, one tempo track).

#include "midi_file.h"

#include <algorithm>
#include <cassert>

namespace {

void put32(std::vector<uint8_t>* out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

void putVariable(std::vector<uint8_t>* out, uint32_t v) {
    uint8_t bytes[5];
    int n = 0;
    do {
        bytes[n++] = v & 0x7F;
        v >>= 7;
    } while (v);
    while (n > 1) out->push_back(bytes[--n] | 0x80);
    out->push_back(bytes[0]);
}

void putMeta(std::vector<uint8_t>* out, uint8_t type, const std::vector<uint8_t>& data) {
    out->push_back(0xFF);
    out->push_back(type);
    putVariable(out, static_cast<uint32_t>(data.size()));
    out->insert(out->end(), data.begin(), data.end());
}

// Note-offs sort before note-ons of the same tick, so that a repeated key is
// released before it is struck again.
bool playsEarlier(const MidiEvent& a, const MidiEvent& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    return (a.status & 0xF0) == 0x80 && (b.status & 0xF0) != 0x80;
}

// A key struck again while it still sounds is released first, and the old
// note's own release is dropped: otherwise that release would cut the new note
// short and the synthesizer would be left with a note-off it cannot match.
std::vector<MidiEvent> releaseBeforeRestrike(std::vector<MidiEvent> events) {
    std::stable_sort(events.begin(), events.end(), playsEarlier);
    int sounding[16][128] = {};
    int releasesToDrop[16][128] = {};
    std::vector<MidiEvent> out;
    for (const MidiEvent& e : events) {
        int kind = e.status & 0xF0, channel = e.status & 0x0F;
        if (kind == 0x90) {
            if (sounding[channel][e.data1]) {
                out.push_back({e.tick, static_cast<uint8_t>(0x80 | channel), e.data1, 64});
                releasesToDrop[channel][e.data1]++;
            }
            sounding[channel][e.data1] = 1;
        } else if (kind == 0x80) {
            if (releasesToDrop[channel][e.data1]) {
                releasesToDrop[channel][e.data1]--;
                continue;
            }
            sounding[channel][e.data1] = 0;
        }
        out.push_back(e);
    }
    return out;
}

std::vector<uint8_t> encodeTrack(const MidiTrack& track, const Song& song, bool withTempo) {
    std::vector<uint8_t> body;
    putVariable(&body, 0);
    putMeta(&body, 0x03, std::vector<uint8_t>(track.name.begin(), track.name.end()));
    if (withTempo) {
        uint32_t t = static_cast<uint32_t>(song.microsPerQuarter);
        putVariable(&body, 0);
        putMeta(&body, 0x51, {uint8_t(t >> 16), uint8_t(t >> 8), uint8_t(t)});
        putVariable(&body, 0);
        putMeta(&body, 0x58, {4, 2, 24, 8});
    }
    std::vector<MidiEvent> events = releaseBeforeRestrike(track.events);
    int now = 0;
    for (const MidiEvent& e : events) {
        assert(e.tick >= 0 && e.tick <= song.lengthTicks);
        putVariable(&body, static_cast<uint32_t>(e.tick - now));
        now = e.tick;
        body.push_back(e.status);
        body.push_back(e.data1);
        if ((e.status & 0xF0) != 0xC0) body.push_back(e.data2);
    }
    putVariable(&body, static_cast<uint32_t>(song.lengthTicks - now));
    putMeta(&body, 0x2F, {});

    std::vector<uint8_t> chunk = {'M', 'T', 'r', 'k'};
    put32(&chunk, static_cast<uint32_t>(body.size()));
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

} // namespace

void addNote(MidiTrack* track, int channel, int tick, int length, int key, int velocity) {
    assert(length > 0 && key >= 0 && key < 128);
    uint8_t v = static_cast<uint8_t>(std::clamp(velocity, 1, 127));
    track->events.push_back(
        {tick, static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(key), v});
    track->events.push_back(
        {tick + length, static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(key), 64});
}

void addControl(MidiTrack* track, int channel, int tick, int controller, int value) {
    track->events.push_back({tick, static_cast<uint8_t>(0xB0 | channel),
                             static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
}

void addProgram(MidiTrack* track, int channel, int tick, int program) {
    track->events.push_back(
        {tick, static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program), 0});
}

std::vector<uint8_t> encodeMidiFile(const Song& song) {
    std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    size_t trackCount = song.tracks.size() + 1;
    out.push_back(static_cast<uint8_t>(trackCount >> 8));
    out.push_back(static_cast<uint8_t>(trackCount));
    out.push_back(static_cast<uint8_t>(song.ticksPerQuarter >> 8));
    out.push_back(static_cast<uint8_t>(song.ticksPerQuarter));
    MidiTrack tempo{"Korvath", {}};
    std::vector<uint8_t> first = encodeTrack(tempo, song, true);
    out.insert(out.end(), first.begin(), first.end());
    for (const MidiTrack& track : song.tracks) {
        std::vector<uint8_t> chunk = encodeTrack(track, song, false);
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}
