// The share of the window's width and height the show draws its scenes at, chosen frame by frame from the
// time the frames took so that the display's rate holds: down at once when a frame runs long, up (a step, or
// to full size where that fits) once frames have stayed cheap for a while, never below a quarter, and exactly
// 1 whenever the GPU keeps up.
#pragma once

class ScaleController {
public:
    static constexpr int kSteps = 16;  // scales are multiples of 1/16
    static constexpr double kMinimum = 0.25;
    // Frames in a row that must leave room for the step above before the scale takes it.
    static constexpr int kUpFrames = 30;
    // A frame whose time at the present scale would pass `budget` runs long; a step is taken up or down only
    // to a scale whose predicted time stays within this share of the budget.
    static constexpr double kHeadroom = 0.8;

    // `fixed` above 0: always that scale, nothing measured. `budget`: the seconds a frame may take.
    ScaleController(double fixed, double budget);

    double Scale() const { return static_cast<double>(step_) / kSteps; }
    // Whether the frames' times are wanted at all.
    bool Adaptive() const { return adaptive_; }
    // A frame drawn at `scale` took `sceneSeconds` to draw its scene and `passSeconds` to scale it up over
    // the window (nothing at scale 1). The scene's time goes with its pixels, so with the square of the
    // scale; the pass costs the same at any scale below 1. Times arrive a frame or two late, at whatever
    // scale that frame had.
    void Report(double scale, double sceneSeconds, double passSeconds);

private:
    // The time a frame whose scene took `sceneSeconds` at `scale` would take at step `step`.
    double Predicted(double scale, double sceneSeconds, int step) const;

    bool adaptive_;
    double budget_;
    int step_ = kSteps;
    int cheapFrames_ = 0;
    // The pass's cost: the least of its last kPassTimes times, as a stall can only add to it.
    static constexpr int kPassTimes = 32;
    double passTimes_[kPassTimes] = {};
    int passCount_ = 0;
    double passSeconds_ = 0.0;
};
