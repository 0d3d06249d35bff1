#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "scenes/scene.h"
#include "scenes/scene_schedule.h"
#include "shaders/shader_texts.h"

namespace {

// The show's schedule, written out here once more so that any change to scenes/schedule.txt fails here.
constexpr ScheduleRow kShipped[] = {
    {5.333333333333334, SceneId::Scene2},
    {10.666666666666668, SceneId::Scene7},
    {16.0, SceneId::Scene1},
    {21.333333333333336, SceneId::Scene2},
    {34.66666666666667, SceneId::Scene2},
    {40.00000000000001, SceneId::Scene5},
    {45.333333333333336, SceneId::Scene2},
    {50.66666666666667, SceneId::Scene5_1},
    {56.00000000000001, SceneId::Scene7},
    {61.33333333333334, SceneId::Scene2},
    {66.66666666666667, SceneId::Scene5_1},
    {72.00000000000001, SceneId::Scene4},
    {77.33333333333334, SceneId::Scene5},
    {82.66666666666667, SceneId::Scene8},
    {88.00000000000001, SceneId::Scene7},
    {93.33333333333334, SceneId::Scene1},
    {98.66666666666667, SceneId::Scene2},
    {104.00000000000001, SceneId::Scene5_1},
    {109.33333333333334, SceneId::Scene8},
    {114.66666666666669, SceneId::Scene2},
    {120.00000000000001, SceneId::Scene5},
    {125.33333333333334, SceneId::Scene7},
    {130.66666666666669, SceneId::Scene8},
    {136.00000000000003, SceneId::Scene2},
    {141.33333333333334, SceneId::Scene5_1},
    {146.66666666666669, SceneId::Scene7},
    {152.00000000000003, SceneId::Scene5},
    {197.33333333333334, SceneId::Scene0},
};

TEST(SceneSchedule, IsTheShippedOne) {
    const Schedule& schedule = ShowSchedule();
    EXPECT_EQ(schedule.bar, std::nextafter(8.0 / 3.0, 4.0));  // 8/3 rounded up in its last place
    EXPECT_EQ(static_cast<float>(schedule.bar), kSceneTime);
    EXPECT_EQ(schedule.end, 206.87);
    EXPECT_EQ(schedule.after, SceneId::Scenew);
    ASSERT_EQ(schedule.rows.size(), std::size(kShipped));
    for (size_t i = 0; i < std::size(kShipped); ++i) {
        EXPECT_EQ(schedule.rows[i].threshold, kShipped[i].threshold) << "row " << i + 1;
        EXPECT_EQ(schedule.rows[i].scene, kShipped[i].scene) << "row " << i + 1;
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

// The shipped text, each of its lines ended by a line break.
std::string Shipped() {
    return std::string(shader_text::Schedule) + "\n";
}

// The shipped text with one line replaced.
std::string ShippedWith(const std::string& line, const std::string& replacement) {
    std::string text = Shipped();
    const size_t at = text.find("\n" + line + "\n");
    EXPECT_NE(at, std::string::npos) << line;
    return text.replace(at + 1, line.size(), replacement);
}

// The line number of `line` in the shipped text.
int LineOf(const std::string& line) {
    const std::string text = Shipped();
    const size_t at = text.find("\n" + line + "\n");
    return 2 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

TEST(SceneSchedule, AMovedThresholdTakesEffect) {
    Schedule schedule;
    std::string error;
    ASSERT_TRUE(
        ParseSchedule(ShippedWith("27  Scene4", "26.5 Scene4 # half a bar early"), "s.txt", schedule, error))
        << error;
    EXPECT_EQ(schedule.SceneAt(70.0), SceneId::Scene4);
    EXPECT_EQ(schedule.SceneAt(70.7), SceneId::Scene5);
    EXPECT_EQ(ShowSchedule().SceneAt(70.7), SceneId::Scene4);
}

TEST(SceneSchedule, AFaultIsReportedWithItsLineAndKeepsTheScheduleRead) {
    const struct {
        std::string line, replacement, reason;
    } cases[] = {
        {"25  Scene5_1", "25  Scene9", "unknown scene \"Scene9\""},
        {"25  Scene5_1", "23  Scene5_1", "the threshold 23 is not after the row before"},
        {"25  Scene5_1", "25", "expected two words"},
        {"25  Scene5_1", "2x5 Scene5_1", "\"2x5\" is neither a keyword nor a number of bars"},
        {"25  Scene5_1", "nan Scene5_1", "\"nan\" is neither a keyword nor a number of bars"},
        {"end 206.87", "end soon", "\"soon\" is not a time in seconds"},
        {"bar 2.666666666666667", "bar 0", "\"0\" is not a time in seconds"},
        {"then Scenew", "then Scenew\nthen Scene0", "a line after the \"then\" line"},
    };
    for (const auto& c : cases) {
        Schedule schedule;
        schedule.end = 1.0;
        std::string error;
        EXPECT_FALSE(ParseSchedule(ShippedWith(c.line, c.replacement), "s.txt", schedule, error))
            << c.replacement;
        const int line = LineOf(c.line) + (c.line == "then Scenew" ? 1 : 0);
        EXPECT_EQ(error.rfind("s.txt:" + std::to_string(line) + ": " + c.reason, 0), 0u) << error;
        EXPECT_EQ(schedule.end, 1.0);
        EXPECT_TRUE(schedule.rows.empty());
    }
    Schedule schedule;
    std::string error;
    EXPECT_FALSE(ParseSchedule("bar 2\n1 Scene1\n", "s.txt", schedule, error));
    EXPECT_EQ(error, "s.txt:2: no \"end\" line");
    EXPECT_FALSE(ParseSchedule("bar 2\nend 9\n1 Scene1\n2 Scene2\n", "s.txt", schedule, error));
    EXPECT_EQ(error, "s.txt:4: no \"then\" line");
}

}  // namespace
