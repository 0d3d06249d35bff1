// The voices of the piece. Each plays its events into the buses of the mix: the bed, which the band stop
// clears of the picture bands; the air, the noise-like parts (wind, risers, cymbals, the hats' hiss), which a
// shallower band stop thins there; the strokes, left whole, for the voices written for those bands (the
// bells, the pings, the hats' ticks and the snare's ring); and the mono send to the hall.
#pragma once

#include <span>
#include <vector>

#include "tools/soundtrack/dsp.h"
#include "tools/soundtrack/score.h"

namespace soundtrack {

struct Buses {
    explicit Buses(int64_t frames)
        : bed(frames), air(frames), strokes(frames), send(static_cast<size_t>(frames)) {}
    Bus bed, air, strokes;
    std::vector<float> send;
};

// One struck or held note of any voice but the horns.
void Play(const Event& event, const Score& score, Buses& out);

// A horn phrase: notes each starting where the one before ends, played legato as one breath.
void PlayHornPhrase(std::span<const Event> notes, float gain, float pan, Buses& out);

// The wind under the whole piece, at the score's level.
void PlayWind(const Score& score, Buses& out);

}  // namespace soundtrack
