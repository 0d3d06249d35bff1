// How long a video has left to draw, from what its frames cost rather than from a running average: the heavy
// scenes may all lie ahead.
#pragma once

#include <functional>
#include <vector>

// The cost of each of `frames` frames at from + n / fps, in seconds of drawing: every slot of the schedule
// the span meets (a row's stretch of time, or the time after the last row) is probed once, at its first frame
// in the span, and each frame costs what its slot's probe took. `probe(time)` draws one frame at `time` and
// returns the seconds it took.
std::vector<double> ProbeFrameCosts(double from, int fps, int frames,
                                    const std::function<double(double)>& probe);

class TimeLeft {
public:
    explicit TimeLeft(std::vector<double> costs);
    // The seconds left once `done` frames have been drawn in `drawSeconds` of drawing, while the frames were
    // handed on (encoded or compressed) at `writeSeconds` a frame: the probed costs are scaled to the drawing
    // seen so far, and a frame that draws faster than it is handed on waits for that.
    double Seconds(int done, double drawSeconds, double writeSeconds) const;

private:
    std::vector<double> costs_;
    std::vector<double> drawn_;  // drawn_[n]: the cost of the first n frames
};
