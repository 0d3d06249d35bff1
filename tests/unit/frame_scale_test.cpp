#include "demo/frame_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kBudget = 1.0 / 60.0;

// A GPU whose scenes cost `fullFrame` seconds at scale 1 and less in proportion to their pixels, and whose
// pass over the window below scale 1 costs `pass`; each frame is drawn at the controller's scale and its
// times reported back.
struct FakeFrames {
    ScaleController& controller;
    double fullFrame;
    double pass = 0.0;
    void Run(int frames) {
        for (int i = 0; i < frames; ++i) {
            const double scale = controller.Scale();
            controller.Report(scale, fullFrame * scale * scale, scale < 1.0 ? pass : 0.0);
        }
    }
};

TEST(ScaleController, CheapFramesStayAtExactlyOne) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 0.9, kBudget};  // within the budget, without headroom to spare
    frames.Run(500);
    EXPECT_EQ(controller.Scale(), 1.0);
}

TEST(ScaleController, StepsDownAtOnceAndUpSlowly) {
    ScaleController controller(0.0, kBudget);
    // One long frame: the next frame is already small enough to fit with headroom.
    controller.Report(1.0, kBudget * 4.0, 0.0);
    const double down = controller.Scale();
    EXPECT_LE(down * down * kBudget * 4.0, kBudget * ScaleController::kHeadroom);
    EXPECT_GE(down, 0.4);
    // Frames a little over the budget at full size: one step up only after a run of them with room for the
    // step, and the run starts over after a long frame.
    FakeFrames frames{controller, kBudget * 1.2};
    frames.Run(ScaleController::kUpFrames - 1);
    EXPECT_EQ(controller.Scale(), down);
    frames.Run(1);
    const double step = 1.0 / ScaleController::kSteps;
    EXPECT_EQ(controller.Scale(), down + step);
    // The time of a frame drawn before the step, arriving late, takes nothing back.
    controller.Report(down, kBudget * 1.2 * down * down, 0.0);
    EXPECT_EQ(controller.Scale(), down + step);
    frames.Run(ScaleController::kUpFrames / 2);
    controller.Report(controller.Scale(), kBudget * 1.1, 0.0);  // a long frame
    EXPECT_LT(controller.Scale(), down + step);
    const double after = controller.Scale();
    frames.Run(ScaleController::kUpFrames - 1);
    EXPECT_EQ(controller.Scale(), after);
    // Cheap frames: after a run of them straight to full size, where they fit with room to spare.
    frames.fullFrame = kBudget * 0.5;
    frames.Run(ScaleController::kUpFrames);
    EXPECT_EQ(controller.Scale(), 1.0);
}

TEST(ScaleController, NeverBelowAQuarterAndHoldsThere) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 100.0};
    frames.Run(50);
    EXPECT_EQ(controller.Scale(), ScaleController::kMinimum);
    // A frame that took no time, or one whose time is not a number, moves nothing down.
    controller.Report(0.25, -1.0, 0.0);
    controller.Report(0.25, std::nan(""), 0.0);
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

// The pass over the window costs the same at every scale below 1: it neither makes a small scale look dear
// nor keeps the show from full size, where the scene drawn straight into the window fits.
TEST(ScaleController, ThePassCostsTheSameAtEveryScaleBelowOne) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 0.5, kBudget * 0.5};
    controller.Report(1.0, kBudget * 4.0, 0.0);
    ASSERT_LT(controller.Scale(), 1.0);
    frames.Run(2000);
    EXPECT_EQ(controller.Scale(), 1.0);
    // A scene that needs a small scale: with the pass counted, the settled frame still fits the budget.
    FakeFrames heavy{controller, kBudget * 6.0, kBudget * 0.25};
    heavy.Run(2000);
    const double scale = controller.Scale();
    EXPECT_LT(scale, 1.0);
    EXPECT_LE(heavy.fullFrame * scale * scale + heavy.pass, kBudget);
    EXPECT_GT(heavy.fullFrame * (scale + 1.0 / 16) * (scale + 1.0 / 16) + heavy.pass, kBudget * 0.8)
        << "the step above would not have fitted with room to spare";
}

// Where the pass alone takes longer than a frame may (a CPU renderer at a large window), a scene cheap enough
// is drawn straight into the window, and a dear one at the smallest scale, each for good.
TEST(ScaleController, APassDearerThanTheBudgetLeavesFullSizeOrTheSmallest) {
    for (const double fullFrame : {0.5, 6.0}) {
        ScaleController controller(0.0, kBudget);
        FakeFrames frames{controller, kBudget * fullFrame, kBudget * 2.0};
        controller.Report(1.0, kBudget * 8.0, 0.0);
        frames.Run(100);
        const double settled = controller.Scale();
        EXPECT_EQ(settled, fullFrame < 1.0 ? 1.0 : ScaleController::kMinimum) << fullFrame;
        for (int i = 0; i < 500; ++i) {
            frames.Run(1);
            ASSERT_EQ(controller.Scale(), settled) << fullFrame << ", frame " << i;
        }
    }
}

// A stall that lengthens one pass (a CPU renderer on a busy machine) does not take a dear scene to full size.
TEST(ScaleController, APassThatStallsOnceIsNotItsCost) {
    ScaleController controller(0.0, kBudget);
    FakeFrames frames{controller, kBudget * 6.0, kBudget * 0.25};
    controller.Report(1.0, kBudget * 8.0, 0.0);
    frames.Run(100);
    const double settled = controller.Scale();
    ASSERT_LT(settled, 1.0);
    controller.Report(settled, kBudget * 6.0 * settled * settled, kBudget * 20.0);
    frames.Run(100);
    EXPECT_EQ(controller.Scale(), settled);
}

TEST(ScaleController, AFixedScaleIgnoresTheFrames) {
    for (double fixed : {1.0, 0.5, 0.25}) {
        ScaleController controller(fixed, kBudget);
        EXPECT_FALSE(controller.Adaptive());
        controller.Report(fixed, 10.0, 10.0);
        EXPECT_EQ(controller.Scale(), fixed);
    }
    EXPECT_TRUE(ScaleController(0.0, kBudget).Adaptive());
}

}  // namespace
