// Keeping the tune's first round and replaying it: the stages of a MusicLoop,
// advanced only by playLoop on the output thread.
#include "app/music_loop.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

int16_t toSample(float value) {
    return static_cast<int16_t>(std::clamp(std::lrint(value * 32767.0f), -32768L, 32767L));
}

float fromSample(int16_t sample) {
    return static_cast<float>(sample) / 32767.0f;
}

void keep(MusicLoop& loop, const float* left, const float* right, int n) {
    int16_t* to = loop.kept + 2 * loop.at;
    for (int i = 0; i < n; ++i) {
        to[2 * i] = toSample(left[i]);
        to[2 * i + 1] = toSample(right[i]);
    }
    loop.at += n;
}

// Round 2 began: the round kept so far is the whole of round 1.
void beginRoundTwo(MusicLoop& loop) {
    loop.length = loop.at;
    loop.at = 0;
    if (loop.roundsLeft == 0) {
        loop.stage = LoopStage::Ended;
        loop.ended = true;
        return;
    }
    --loop.roundsLeft;
    // A round shorter than two fades has no kept opening to fade into.
    loop.stage = loop.length >= 2 * int64_t{loop.fadeFrames} ? LoopStage::Fading : LoopStage::Live;
}

// Round 2's live opening gives way, frame by frame, to the kept one. The mix
// is kept in its place: every later round then begins as round 2 went on from
// round 1's last frame, the tail of round 1's last notes dying away within the
// fade, and the replay goes on from the kept frames with nothing to join.
void fade(MusicLoop& loop, float* left, float* right, int n) {
    int16_t* kept = loop.kept + 2 * loop.at;
    const float steps = static_cast<float>(loop.fadeFrames + 1);
    for (int i = 0; i < n; ++i) {
        const float w = static_cast<float>(loop.at + i + 1) / steps; // the kept frame's share
        left[i] = left[i] * (1.0f - w) + fromSample(kept[2 * i]) * w;
        right[i] = right[i] * (1.0f - w) + fromSample(kept[2 * i + 1]) * w;
        kept[2 * i] = toSample(left[i]);
        kept[2 * i + 1] = toSample(right[i]);
    }
    loop.at += n;
}

void replay(MusicLoop& loop, float* left, float* right, int n) {
    const int16_t* from = loop.kept + 2 * loop.at;
    for (int i = 0; i < n; ++i) {
        left[i] = fromSample(from[2 * i]);
        right[i] = fromSample(from[2 * i + 1]);
    }
    loop.at += n;
    if (loop.at < loop.length) return;
    loop.at = 0;
    if (loop.roundsLeft > 0) {
        --loop.roundsLeft;
        return;
    }
    loop.stage = LoopStage::Ended;
    loop.ended = true;
}

} // namespace

void startLoop(MusicLoop& loop, int16_t* kept, int64_t capacity, int rounds, int fadeFrames) {
    assert(rounds >= 1 && fadeFrames >= 1);
    loop.kept = kept;
    loop.capacity = kept != nullptr ? capacity : 0;
    loop.length = 0;
    loop.at = 0;
    loop.fadeFrames = fadeFrames;
    loop.roundsLeft = rounds - 1;
    loop.stage = loop.capacity > 0 ? LoopStage::Keeping : LoopStage::Live;
    loop.ended = false;
}

void playLoop(MusicLoop& loop, LiveRender render, void* tune, float* left, float* right,
              int frames) {
    int done = 0;     // frames of this call written
    int rendered = 0; // frames of this call holding live frames already
    while (done < frames) {
        float *l = left + done, *r = right + done;
        const int rest = frames - done;
        switch (loop.stage) {
        case LoopStage::Live:
            if (rendered < frames)
                render(tune, left + rendered, right + rendered, frames - rendered);
            return;
        case LoopStage::Ended:
            std::fill(l, l + rest, 0.0f);
            std::fill(r, r + rest, 0.0f);
            return;
        case LoopStage::Keeping: {
            const int began = render(tune, l, r, rest);
            rendered = frames;
            const int n = began < 0 ? rest : began;
            if (loop.at + n > loop.capacity) {
                // Longer than memory was set aside for: heard live to the end.
                loop.stage = LoopStage::Live;
                return;
            }
            keep(loop, l, r, n);
            if (began < 0) return;
            done += n;
            beginRoundTwo(loop);
            break;
        }
        case LoopStage::Fading: {
            const int n = static_cast<int>(std::min<int64_t>(rest, loop.fadeFrames - loop.at));
            if (rendered < done + n) {
                // A second start within the fade cannot be: the round is two fades long.
                render(tune, left + rendered, right + rendered, done + n - rendered);
                rendered = done + n;
            }
            fade(loop, l, r, n);
            done += n;
            if (loop.at == loop.fadeFrames) loop.stage = LoopStage::Replaying;
            break;
        }
        case LoopStage::Replaying: {
            const int n = static_cast<int>(std::min<int64_t>(rest, loop.length - loop.at));
            replay(loop, l, r, n);
            done += n;
            break;
        }
        }
    }
}
