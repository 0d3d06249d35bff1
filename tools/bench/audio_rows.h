// The audio rows of the benchmark report: tesselune-audio-bench run once for each measure on the sound server
// that PULSE_SERVER names, whose null sink's monitor source is `monitor`.
#pragma once

#include <string>
#include <vector>

#include "tools/bench/report.h"

// The clock, the A/V offset, and open to play and peak memory of `track` and of an hour of silence (written
// into `work`). A measure that fails gives a row without figures, saying why.
std::vector<BenchRow> AudioRows(const std::string& program, const std::string& work, const std::string& track,
                                const std::string& monitor);
