// Where the show draws a frame: straight into the window at full scale, or into an offscreen target at a
// share of the window's size that one bilinear pass then scales up over the whole window; and the time the
// GPU took.
#pragma once

#include <cstdint>

class FrameTarget {
public:
    struct Size {
        int width, height;
    };

    // Directs the frame's drawing for a window of width x height at `scale` (1: the window itself) and sets
    // the viewport; returns the size the frame is to be drawn at.
    Size Begin(int width, int height, double scale);
    // Draws what Begin directed elsewhere over the window's viewport; nothing at full scale.
    void End();

private:
    void Prepare();

    int width_ = 0, height_ = 0;                            // the window
    int targetWidth_ = 0, targetHeight_ = 0;                // the texture's size
    bool offscreen_ = false;                                // this frame is drawn into the texture
    uint32_t framebuffer_ = 0, texture_ = 0, program_ = 0;  // made on the first frame that needs them
    uint32_t windowFramebuffer_ = 0;                        // bound again for the pass over the window
};

// The time frames take, in two parts: the scene, and the pass over the window that follows it. Measured with
// the GPU's timer where the context has one (read back a frame or two later, never waited for) and otherwise
// by waiting for each part to finish.
class FrameTimer {
public:
    struct Times {
        double scale = 0.0, sceneSeconds = 0.0, passSeconds = 0.0;
    };

    FrameTimer();  // on the current context
    void Begin(double scale);
    // The scene is drawn; the pass begins.
    void Split();
    // `counts` false: the frame's times are not to be read.
    void End(bool counts);
    // The times of a measured frame that has not been read yet; false when there is none.
    bool Read(Times& times);

private:
    static constexpr int kFrames = 4;
    struct Span {
        uint32_t scene = 0, pass = 0;  // the queries
        double scale = 0.0;
        bool pending = false;
        bool counts = false;
    };
    bool gpuTimer_ = false;
    Span spans_[kFrames];
    int next_ = 0;            // the span the next frame uses
    bool measuring_ = false;  // Begin started a measurement that End closes
    // Without a timer: the frame being measured, and the last one measured (sceneSeconds < 0: none).
    double startSeconds_ = 0.0, splitSeconds_ = 0.0;
    Times finished_{0.0, -1.0, 0.0};
};
