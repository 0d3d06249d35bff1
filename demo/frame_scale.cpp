#include "demo/frame_scale.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kMinimumStep = static_cast<int>(ScaleController::kMinimum * ScaleController::kSteps);

}  // namespace

ScaleController::ScaleController(double fixed, double budget) : adaptive_(fixed <= 0.0), budget_(budget) {
    if (!adaptive_) step_ = static_cast<int>(std::lround(fixed * kSteps));
    if (step_ < kMinimumStep) step_ = kMinimumStep;
    if (step_ > kSteps) step_ = kSteps;
}

double ScaleController::Predicted(double scale, double sceneSeconds, int step) const {
    const double ratio = static_cast<double>(step) / kSteps / scale;
    return sceneSeconds * ratio * ratio + (step < kSteps ? passSeconds_ : 0.0);
}

void ScaleController::Report(double scale, double sceneSeconds, double passSeconds) {
    if (!adaptive_ || !(scale > 0.0) || !(sceneSeconds >= 0.0)) return;
    if (scale < 1.0 && passSeconds >= 0.0) {
        passTimes_[passCount_++ % kPassTimes] = passSeconds;
        passSeconds_ = *std::min_element(passTimes_, passTimes_ + std::min(passCount_, kPassTimes));
    }
    const double room = budget_ * kHeadroom;
    if (Predicted(scale, sceneSeconds, step_) > budget_) {
        // At once to the largest step with room to spare: full size where the scene fits straight into the
        // window (the pass alone may cost more than the scene), else the largest below with room, else the
        // cheaper of the smallest and full size.
        int step = kSteps;
        if (Predicted(scale, sceneSeconds, kSteps) > room) {
            step = step_;
            while (step > kMinimumStep && Predicted(scale, sceneSeconds, step) > room) --step;
            if (Predicted(scale, sceneSeconds, kSteps) < Predicted(scale, sceneSeconds, step)) step = kSteps;
        }
        step_ = step;
        cheapFrames_ = 0;
        return;
    }
    // Up to full size where the scene fits straight into the window with room to spare, else one step.
    const int up = Predicted(scale, sceneSeconds, kSteps) <= room ? kSteps : step_ + 1;
    if (step_ < kSteps && Predicted(scale, sceneSeconds, up) <= room) {
        if (++cheapFrames_ >= kUpFrames) {
            step_ = up;
            cheapFrames_ = 0;
        }
    } else {
        cheapFrames_ = 0;
    }
}
