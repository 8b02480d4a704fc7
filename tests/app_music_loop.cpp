// The music's loop: round 1 heard live and kept, round 2's opening faded into
// the kept one, every later round replayed from memory, then silence; tunes
// that do not fit, or are too short to fade, heard live throughout.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/music_loop.h"

namespace {

// A tune of `round` frames a round whose notes ring on into the next round's
// opening (the tail), as a synthesizer's do. Right is the negated left.
struct FakeTune {
    int round;
    int64_t rendered = 0; // frames asked of it so far

    float frameAt(int64_t t) const {
        const int64_t inRound = t % round;
        const float note = 0.25f * std::sin(0.05f * static_cast<float>(inRound)) + 0.1f;
        const bool ringing = t >= round && inRound < 40;
        return note + (ringing ? 0.2f * static_cast<float>(40 - inRound) / 40.0f : 0.0f);
    }
    static int render(void* self, float* left, float* right, int frames) {
        auto& tune = *static_cast<FakeTune*>(self);
        int began = -1;
        for (int i = 0; i < frames; ++i, ++tune.rendered) {
            left[i] = tune.frameAt(tune.rendered);
            right[i] = -left[i];
            if (began < 0 && tune.rendered > 0 && tune.rendered % tune.round == 0) began = i;
        }
        return began;
    }
};

// Everything the loop plays over `frames` frames, asked for `block` at a time;
// `endedAt` is the first frame after which it said it had ended, or -1.
std::vector<float> play(MusicLoop& loop, FakeTune& tune, int64_t frames, int block,
                        int64_t* endedAt = nullptr) {
    std::vector<float> left(frames), right(frames);
    if (endedAt) *endedAt = -1;
    for (int64_t at = 0; at < frames; at += block) {
        const int n = static_cast<int>(std::min<int64_t>(block, frames - at));
        playLoop(loop, FakeTune::render, &tune, left.data() + at, right.data() + at, n);
        for (int i = 0; i < n; ++i) EXPECT_EQ(right[at + i], -left[at + i]) << at + i;
        if (endedAt && *endedAt < 0 && loop.ended) *endedAt = at + n;
    }
    return left;
}

constexpr float Quantum = 1.0f / 32767.0f; // a kept frame is 16-bit

TEST(MusicLoop, RoundOneIsKeptAndReplayedAfterRoundTwoFadesIntoItThenSilence) {
    constexpr int Round = 1000, Fade = 100, Rounds = 4;
    for (int block : {1, 64, 333, 2500}) {
        SCOPED_TRACE(block);
        std::vector<int16_t> memory(2 * 5000);
        MusicLoop loop;
        startLoop(loop, memory.data(), 5000, Rounds, Fade);
        FakeTune tune{Round};
        int64_t endedAt;
        const std::vector<float> heard = play(loop, tune, 5 * Round, block, &endedAt);

        // Round 1 exactly as rendered.
        for (int t = 0; t < Round; ++t) ASSERT_EQ(heard[t], tune.frameAt(t)) << t;
        // Round 2 opens live, tail and all, and ends on the kept round 1.
        EXPECT_NEAR(heard[Round], tune.frameAt(Round), 0.01f);
        for (int t = 0; t < Fade; ++t) {
            const float w = static_cast<float>(t + 1) / (Fade + 1);
            ASSERT_NEAR(heard[Round + t], tune.frameAt(Round + t) * (1 - w) + tune.frameAt(t) * w,
                        2 * Quantum)
                << t;
        }
        for (int t = Fade; t < Round; ++t)
            ASSERT_NEAR(heard[Round + t], tune.frameAt(t), Quantum) << t;
        // Every later round is round 2 again, faded opening included: the joins
        // are round 1's into round 2.
        for (int t = 0; t < 2 * Round; ++t)
            ASSERT_NEAR(heard[2 * Round + t], heard[Round + t], Quantum) << t;
        // Four rounds, then silence; the synthesizer worked only up to the fade's end.
        EXPECT_EQ(endedAt, ((4 * Round + block - 1) / block) * block);
        for (int t = 4 * Round; t < 5 * Round; ++t) ASSERT_EQ(heard[t], 0.0f) << t;
        EXPECT_LT(tune.rendered, Round + Fade + block);
    }
}

TEST(MusicLoop, TunesThatDoNotFitOrCannotFadeAreHeardLive) {
    struct Case {
        int round;
        int64_t capacity;
        bool memory;
    };
    const Case cases[] = {
        {1000, 999, true},   // one frame too long for the memory
        {1000, 5000, false}, // no memory at all
        {150, 5000, true},   // shorter than two fades
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.round);
        std::vector<int16_t> memory(2 * c.capacity);
        MusicLoop loop;
        startLoop(loop, c.memory ? memory.data() : nullptr, c.capacity, 201, 100);
        FakeTune tune{c.round};
        const std::vector<float> heard = play(loop, tune, 3500, 256);
        for (int t = 0; t < 3500; ++t) ASSERT_EQ(heard[t], tune.frameAt(t)) << t;
        EXPECT_FALSE(loop.ended);
    }
}

TEST(MusicLoop, ATuneOfOneRoundEndsWithIt) {
    std::vector<int16_t> memory(2 * 5000);
    MusicLoop loop;
    startLoop(loop, memory.data(), 5000, 1, 100);
    FakeTune tune{1000};
    int64_t endedAt;
    const std::vector<float> heard = play(loop, tune, 2000, 300, &endedAt);
    for (int t = 0; t < 1000; ++t) ASSERT_EQ(heard[t], tune.frameAt(t)) << t;
    for (int t = 1000; t < 2000; ++t) ASSERT_EQ(heard[t], 0.0f) << t;
    EXPECT_EQ(endedAt, 1200);
}

} // namespace
