// The game's background tune: a 32-bar song form in F, played twice (the head
// on vibraphone, then a piano chorus) by piano, vibraphone, bass and drums.
#pragma once

#include "midi_file.h"

constexpr int TuneBeatsPerMinute = 126;
constexpr int TuneBars = 64;

Song composeTune();
