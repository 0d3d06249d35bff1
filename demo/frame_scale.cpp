#include "demo/frame_scale.h"

#include <cmath>

namespace {

constexpr int kMinimumStep = static_cast<int>(ScaleController::kMinimum * ScaleController::kSteps);

}  // namespace

ScaleController::ScaleController(double fixed, double budget) : adaptive_(fixed <= 0.0), budget_(budget) {
    if (!adaptive_) step_ = static_cast<int>(std::lround(fixed * kSteps));
    if (step_ < kMinimumStep) step_ = kMinimumStep;
    if (step_ > kSteps) step_ = kSteps;
}

double ScaleController::Predicted(double scale, double seconds, int step) {
    const double ratio = static_cast<double>(step) / kSteps / scale;
    return seconds * ratio * ratio;
}

void ScaleController::Report(double scale, double seconds) {
    if (!adaptive_ || !(scale > 0.0) || !(seconds >= 0.0)) return;
    if (Predicted(scale, seconds, step_) > budget_) {
        // Down at once, to the largest step with room to spare.
        while (step_ > kMinimumStep && Predicted(scale, seconds, step_) > budget_ * kHeadroom) --step_;
        cheapFrames_ = 0;
        return;
    }
    if (step_ < kSteps && Predicted(scale, seconds, step_ + 1) <= budget_ * kHeadroom) {
        if (++cheapFrames_ >= kUpFrames) {
            ++step_;
            cheapFrames_ = 0;
        }
    } else {
        cheapFrames_ = 0;
    }
}
