// Timing the scenes on the headless context: their frames, and the build of their programs.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "scenes/scenes.h"

// A music time at which the show draws `id`: the middle of its first slot in the schedule (for the white
// scene, of the span from the last row to the end of the show). None for a scene the schedule never shows.
std::optional<double> ShownAt(SceneId id);

using LevelsAt = std::function<std::array<float, 3>(double time)>;

struct FrameTimes {
    double firstDraw = 0.0;      // seconds of the untimed warm-up frame, where the driver compiles its code
    std::vector<double> frames;  // seconds of each timed frame
};

// Seconds of one frame of `scene` as the show draws it over a viewport of width x height, waited for with
// glFinish.
double DrawFrame(SceneBase& scene, int width, int height, double time, const std::array<float, 3>& levels);

// Draws `scene` over the current context's viewport of width x height as the show draws a frame (cleared,
// then the scene), waiting for each with glFinish: one warm-up frame, then `count` timed frames, one
// sixtieth of a second of music apart from `time` on. The levels are taken before the timing starts.
FrameTimes TimeFrames(SceneBase& scene, int width, int height, double time, const LevelsAt& levels,
                      int count);

// Builds every scene's program on the current context in the order the show builds them: each one's seconds.
std::array<double, kSceneCount> TimeProgramBuilds();
