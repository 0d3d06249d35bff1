#include "tools/bench/scene_bench.h"

#include <chrono>

#include "platform/gl.h"
#include "scenes/scene_schedule.h"
#include "scenes/show_frame.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

double DrawFrame(SceneBase& scene, int width, int height, double time, const std::array<float, 3>& levels) {
    const Clock::time_point start = Clock::now();
    const auto music = [&] { return MusicReading{time, levels}; };
    DrawShowFrame(width, height, music, [&](double) { return &scene; });
    glFinish();
    return SecondsSince(start);
}

std::optional<double> ShownAt(SceneId id) {
    double from = 0.0;
    for (const ScheduleRow& row : ShowSchedule().rows) {
        if (row.scene == id) return (from + row.threshold) / 2.0;
        from = row.threshold;
    }
    if (id == ShowSchedule().after) return (from + ShowSchedule().end) / 2.0;
    return std::nullopt;
}

FrameTimes TimeFrames(SceneBase& scene, int width, int height, double time, const LevelsAt& levels,
                      int count) {
    std::vector<std::array<float, 3>> frameLevels;
    for (int n = 0; n <= count; ++n) frameLevels.push_back(levels(time + n / 60.0));
    FrameTimes times;
    times.firstDraw = DrawFrame(scene, width, height, time, frameLevels[0]);
    for (int n = 1; n <= count; ++n)
        times.frames.push_back(DrawFrame(scene, width, height, time + n / 60.0, frameLevels[n]));
    return times;
}

std::array<double, kSceneCount> TimeProgramBuilds() {
    std::array<double, kSceneCount> seconds{};
    for (int i = 0; i < kSceneCount; ++i) {
        const Clock::time_point start = Clock::now();
        std::unique_ptr<SceneBase> scene = MakeScene(static_cast<SceneId>(i));
        scene->Init();
        glFinish();
        seconds[i] = SecondsSince(start);
    }
    return seconds;
}
