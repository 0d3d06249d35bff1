// The times the scene frames are measured at.
#include "tools/bench/scene_bench.h"

#include <gtest/gtest.h>

#include <set>

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
    std::set<SceneId> scheduled{ShowSchedule().after};
    for (const ScheduleRow& row : ShowSchedule().rows) scheduled.insert(row.scene);
    EXPECT_EQ(shown, static_cast<int>(scheduled.size())) << "every scene the schedule shows, and no other";
    EXPECT_FALSE(ShownAt(SceneId::Sceneb));
    EXPECT_FALSE(ShownAt(SceneId::Scene3));
    EXPECT_FALSE(ShownAt(SceneId::Scene6));
    EXPECT_TRUE(ShownAt(SceneId::Scenew)) << "the white scene closes the show";
}

}  // namespace
