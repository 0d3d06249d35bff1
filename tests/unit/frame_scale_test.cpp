#include "demo/frame_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBudget = 1.0 / 60.0;

// A GPU whose frames cost `fullFrame` seconds at scale 1 and less in proportion to their pixels; each frame
// is drawn at the controller's scale and its time reported back.
struct FakeFrames {
    ScaleController& controller;
    double fullFrame;
    void Run(int frames) {
        for (int i = 0; i < frames; ++i) {
            const double scale = controller.Scale();
            controller.Report(scale, fullFrame * scale * scale);
        }
    }
};

TEST(ScaleController, CheapFramesStayAtExactlyOne) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 0.9};  // within the budget, without headroom to spare
    frames.Run(500);
    EXPECT_EQ(controller.Scale(), 1.0);
}

TEST(ScaleController, StepsDownAtOnceAndUpSlowly) {
    ScaleController controller(0.0, kBudget);
    // One long frame: the next frame is already small enough to fit with headroom.
    controller.Report(1.0, kBudget * 4.0);
    const double down = controller.Scale();
    EXPECT_LE(down * down * kBudget * 4.0, kBudget * ScaleController::kHeadroom);
    EXPECT_GE(down, 0.4);
    // Cheap frames again: one step up only after a run of them, and the run starts over after a long frame.
    FakeFrames frames{controller, kBudget * 0.5};
    frames.Run(ScaleController::kUpFrames - 1);
    EXPECT_EQ(controller.Scale(), down);
    frames.Run(1);
    EXPECT_EQ(controller.Scale(), down + 1.0 / ScaleController::kSteps);
    // The time of a frame drawn before the step, arriving late, takes nothing back.
    controller.Report(down, kBudget * 0.5 * down * down);
    EXPECT_EQ(controller.Scale(), down + 1.0 / ScaleController::kSteps);
    frames.Run(2000);
    EXPECT_EQ(controller.Scale(), 1.0);
}

TEST(ScaleController, NeverBelowAQuarterAndHoldsThere) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 100.0};
    frames.Run(50);
    EXPECT_EQ(controller.Scale(), ScaleController::kMinimum);
    // A frame that took no time, or one whose time is not a number, moves nothing down.
    controller.Report(0.25, -1.0);
    controller.Report(0.25, std::nan(""));
    EXPECT_EQ(controller.Scale(), ScaleController::kMinimum);
}

TEST(ScaleController, AHeavySceneSettlesWhereItFitsWithoutSwimming) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 3.0};  // fits at a scale of about 0.5
    frames.Run(1000);
    const double settled = controller.Scale();
    EXPECT_LE(frames.fullFrame * settled * settled, kBudget);
    double lowest = settled, highest = settled;
    for (int i = 0; i < 1000; ++i) {
        frames.Run(1);
        lowest = std::min(lowest, controller.Scale());
        highest = std::max(highest, controller.Scale());
    }
    EXPECT_EQ(lowest, highest) << "the scale swims between " << lowest << " and " << highest;
}

TEST(ScaleController, AFixedScaleIgnoresTheFrames) {
    for (double fixed : {1.0, 0.5, 0.25}) {
        ScaleController controller(fixed, kBudget);
        EXPECT_FALSE(controller.Adaptive());
        controller.Report(fixed, 10.0);
        EXPECT_EQ(controller.Scale(), fixed);
    }
    EXPECT_TRUE(ScaleController(0.0, kBudget).Adaptive());
}

}  // namespace
