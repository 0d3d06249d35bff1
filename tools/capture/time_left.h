// How long a video has left to draw, from what its frames cost rather than from a running average: the heavy
// scenes may all lie ahead.
#pragma once

#include <functional>
#include <vector>

// The cost of each of `frames` frames at from + n / fps, in seconds of drawing. The span is cut where the
// schedule changes scene and at every bar (a scene's look follows the bars); each piece is probed once, at
// its middle frame, and each frame costs what its piece's probe took. `probe(time)` draws one frame at `time`
// and returns the seconds it took.
std::vector<double> ProbeFrameCosts(double from, int fps, int frames,
                                    const std::function<double(double)>& probe);

class TimeLeft {
public:
    explicit TimeLeft(std::vector<double> costs) : costs_(std::move(costs)) {}
    // One more frame drawn, in `seconds`.
    void Drawn(double seconds) { drawn_.push_back(seconds); }
    // The seconds left while the frames are handed on (encoded or compressed) at `writeSeconds` a frame: the
    // probed costs of the frames ahead, scaled to what the frames drawn lately took against their probes (the
    // machine's load changes), and a frame that draws faster than it is handed on waits for that.
    double Seconds(double writeSeconds) const;

private:
    std::vector<double> costs_;
    std::vector<double> drawn_;  // the seconds each frame drawn so far took
};
