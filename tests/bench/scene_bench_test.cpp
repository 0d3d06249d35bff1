// The times the scene frames are measured at.
#include "tools/bench/scene_bench.h"

#include <gtest/gtest.h>

#include "scenes/scene_schedule.h"

namespace {

TEST(ShownAt, IsATimeInsideTheShowWhereTheScheduleDrawsTheScene) {
    int shown = 0;
    for (int i = 0; i < kSceneCount; ++i) {
        const SceneId id = static_cast<SceneId>(i);
        const std::optional<double> time = ShownAt(id);
        if (!time) continue;
        ++shown;
        EXPECT_EQ(ScheduledScene(*time), id) << kSceneNames[i] << " at " << *time;
        EXPECT_GE(*time, 0.0);
        EXPECT_LT(*time, ShowSchedule().end) << kSceneNames[i];
    }
    EXPECT_EQ(shown, 9) << "all but the three scenes the schedule never shows";
    EXPECT_FALSE(ShownAt(SceneId::Sceneb));
    EXPECT_FALSE(ShownAt(SceneId::Scene3));
    EXPECT_FALSE(ShownAt(SceneId::Scene6));
    EXPECT_TRUE(ShownAt(SceneId::Scenew)) << "the white scene closes the show";
}

}  // namespace
