// The studio's overlay, drawn over the frame: the music's time, bar and beat, the slot and its scene, the
// levels, the frame time and rate, the timeline strip along the bottom, and the faults standing.
#pragma once

#include <array>
#include <string>
#include <utility>

#include "scenes/scene_schedule.h"

struct OverlayView {
    bool full = true;  // everything, or only the faults
    double time = 0.0;
    std::array<float, 3> levels{};
    double frameSeconds = 0.0;     // the last frame's time
    double framesPerSecond = 0.0;  // over the last second
    bool paused = false;
    bool looping = false;
    std::pair<double, double> loop;  // the slot looped
    std::string errors;
};

// The timeline strip's height along the bottom of the client, in pixels.
constexpr int kStripHeight = 16;

// Draws `view` over the frame in the framebuffer bound, a client of width x height, with `schedule`'s slots;
// leaves the GL state as it found it.
void DrawOverlay(const OverlayView& view, const Schedule& schedule, int width, int height);
