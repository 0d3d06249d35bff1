// Scene2 on each of its paths against the text it was first written as, drawn in the same run.
#pragma once

#include <vector>

#include "tools/bench/report.h"
#include "tools/bench/scene_bench.h"

// Rows "Scene2 WxH": at each size, at two times the show draws the scene (its first slot, under the first
// position and colour rules, and a later slot under the last ones), the frame of the old text, of the shader
// path and of the particle path, each path as a ratio to the old text. Draws on a headless context of its
// own.
std::vector<BenchRow> Scene2Rows(const LevelsAt& levels, int frames);
