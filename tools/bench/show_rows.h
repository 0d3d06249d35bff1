// The real show in a window: every slot of the schedule in turn, at the automatic scale and at full scale.
#pragma once

#include <string>
#include <vector>

#include "tools/bench/report.h"

// Runs `show` (from its own folder, so that it finds its track) in a plain 1280x720 window on the X server
// DISPLAY names, through every slot of the schedule for `slotSeconds` each (its hidden --tour), logging its
// frames into `work`: per slot the median and 95th percentile time between presented frames and the median
// scale drawn at. Once with --scale auto, once with --scale 1.
std::vector<BenchRow> ShowRows(const std::string& show, const std::string& work, double slotSeconds);
