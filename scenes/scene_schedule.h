// Which scene the show draws at each music time: the first row whose threshold is above the time, else the
// scene after the last row. The show's own schedule is scenes/schedule.txt, built into the program.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "scenes/scenes.h"

struct ScheduleRow {
    double threshold;  // seconds: a whole number of bars
    SceneId scene;     // drawn while the time is below the threshold
};

struct Schedule {
    double bar = 0.0;               // one bar of the music, in seconds
    double end = 0.0;               // the show ends on the first frame whose music time is above this
    std::vector<ScheduleRow> rows;  // thresholds rising
    SceneId after = SceneId::Scenew;

    // Strict comparisons in table order: a time equal to a threshold belongs to the next row, and a time
    // that is not a number matches no row.
    SceneId SceneAt(double time) const;
};

// Reads a schedule written as scenes/schedule.txt is. On a fault returns false and leaves `schedule` as it
// was, with "<name>:<line>: <reason>" in `error`.
bool ParseSchedule(std::string_view text, std::string_view name, Schedule& schedule, std::string& error);

// The show's schedule, read once from the built-in text.
const Schedule& ShowSchedule();

inline SceneId ScheduledScene(double time) {
    return ShowSchedule().SceneAt(time);
}
