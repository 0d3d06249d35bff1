// Which scene the show draws at each music time: the first row whose threshold is above the time, else white.
#pragma once

#include "scenes/scenes.h"

// The show ends by itself on the first frame whose music time is above this.
constexpr double kShowEnd = 206.87;

struct ScheduleRow {
    double
        threshold;  // seconds: n bars of 8/3 s, with 8/3 taken one unit in the last place above its nearest
    SceneId scene;  // drawn while the time is below the threshold
};

// Every threshold as the double that n x 2.666666666666667 gives, written to read back bit for bit.
inline constexpr ScheduleRow SceneSchedule[] = {
    {5.333333333333334, SceneId::Scene2},    //  2 bars
    {10.666666666666668, SceneId::Scene7},   //  4
    {16.0, SceneId::Scene1},                 //  6
    {21.333333333333336, SceneId::Scene2},   //  8
    {34.66666666666667, SceneId::Scene2},    // 13: Scene2 runs on from 16 s
    {40.00000000000001, SceneId::Scene5},    // 15: from here each scene holds one slot, off the grid by a bar
    {45.333333333333336, SceneId::Scene2},   // 17
    {50.66666666666667, SceneId::Scene5_1},  // 19
    {56.00000000000001, SceneId::Scene7},    // 21
    {61.33333333333334, SceneId::Scene2},    // 23
    {66.66666666666667, SceneId::Scene5_1},  // 25
    {72.00000000000001, SceneId::Scene4},    // 27
    {77.33333333333334, SceneId::Scene5},    // 29
    {82.66666666666667, SceneId::Scene8},    // 31
    {88.00000000000001, SceneId::Scene7},    // 33
    {93.33333333333334, SceneId::Scene1},    // 35
    {98.66666666666667, SceneId::Scene2},    // 37
    {104.00000000000001, SceneId::Scene5_1},  // 39
    {109.33333333333334, SceneId::Scene8},    // 41
    {114.66666666666669, SceneId::Scene2},    // 43
    {120.00000000000001, SceneId::Scene5},    // 45
    {125.33333333333334, SceneId::Scene7},    // 47
    {130.66666666666669, SceneId::Scene8},    // 49
    {136.00000000000003, SceneId::Scene2},    // 51
    {141.33333333333334, SceneId::Scene5_1},  // 53
    {146.66666666666669, SceneId::Scene7},    // 55
    {152.00000000000003, SceneId::Scene5},    // 57
    {197.33333333333334, SceneId::Scene0},    // 74: the long closing scene
};
inline constexpr SceneId kScheduleFallThrough = SceneId::Scenew;

// Strict comparisons in table order: a time equal to a threshold belongs to the next row, and a time that is
// not a number matches no row.
constexpr SceneId ScheduledScene(double time) {
    for (const ScheduleRow& row : SceneSchedule) {
        if (time < row.threshold) return row.scene;
    }
    return kScheduleFallThrough;
}
