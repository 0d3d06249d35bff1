// The show's work per frame outside the draw, measured with Google Benchmark: the spectrum query, the
// levels, the music time, the schedule, and the uniform uploads with their GL function look-ups.
#pragma once

#include <string>
#include <vector>

#include "tools/bench/report.h"

struct RuntimeFigure {
    std::string name;
    Summary nanoseconds;  // per call, over the repetitions
};

// Runs every benchmark; the GL ones draw on the current context, which should be 1x1 so that the GPU's share
// is as small as it can be. Progress goes to standard error.
std::vector<RuntimeFigure> RunRuntimeBenchmarks(int repetitions);
