#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scenes/scene_schedule.h"

namespace {

TEST(SceneSchedule, ThresholdsAreWholeBarsOfTheRoundedUpBar) {
    const double bar = std::nextafter(8.0 / 3.0, 4.0);
    const int bars[] = {2,  4,  6,  8,  13, 15, 17, 19, 21, 23, 25, 27, 29, 31,
                        33, 35, 37, 39, 41, 43, 45, 47, 49, 51, 53, 55, 57, 74};
    ASSERT_EQ(std::size(SceneSchedule), std::size(bars));
    for (size_t i = 0; i < std::size(bars); ++i) {
        EXPECT_EQ(SceneSchedule[i].threshold, bars[i] * bar) << "row " << i + 1;
    }
}

TEST(SceneSchedule, EachSlotShowsItsScene) {
    // The middle of every row's span shows that row's scene.
    double previous = 0.0;
    for (const ScheduleRow& row : SceneSchedule) {
        EXPECT_EQ(ScheduledScene((previous + row.threshold) / 2), row.scene) << row.threshold;
        previous = row.threshold;
    }
    EXPECT_EQ(ScheduledScene(200.0), SceneId::Scenew);
    // Never drawn by the show.
    for (const ScheduleRow& row : SceneSchedule) {
        EXPECT_NE(row.scene, SceneId::Sceneb);
        EXPECT_NE(row.scene, SceneId::Scene3);
        EXPECT_NE(row.scene, SceneId::Scene6);
    }
}

TEST(SceneSchedule, EdgeTimes) {
    EXPECT_EQ(ScheduledScene(0.0), SceneId::Scene2);
    EXPECT_EQ(ScheduledScene(-1.0), SceneId::Scene2);
    EXPECT_EQ(ScheduledScene(-std::numeric_limits<double>::infinity()), SceneId::Scene2);
    EXPECT_EQ(ScheduledScene(5.333333333333333), SceneId::Scene2);  // the double nearest 16/3 is below row 1
    EXPECT_EQ(ScheduledScene(5.333333333333334), SceneId::Scene7);
    EXPECT_EQ(ScheduledScene(16.0), SceneId::Scene2);  // row 4, not Scene1
    EXPECT_EQ(ScheduledScene(40.0), SceneId::Scene5);
    EXPECT_EQ(ScheduledScene(40.00000000000001), SceneId::Scene2);
    EXPECT_EQ(ScheduledScene(152.0), SceneId::Scene5);
    EXPECT_EQ(ScheduledScene(152.00000000000003), SceneId::Scene0);
    EXPECT_EQ(ScheduledScene(197.33333333333331), SceneId::Scene0);
    EXPECT_EQ(ScheduledScene(197.33333333333334), SceneId::Scenew);
    EXPECT_EQ(ScheduledScene(1e9), SceneId::Scenew);
    EXPECT_EQ(ScheduledScene(std::numeric_limits<double>::quiet_NaN()), SceneId::Scenew);
}

}  // namespace
