// The three-flashes rule for moving pictures, read on frames in memory.
//
// General flash: a transition is a change of relative luminance (sRGB decoded, 0.2126 R + 0.7152 G +
// 0.0722 B) of at least 0.1 where the darker side is under 0.8; a flash is a pair of opposing transitions.
// Red flash: the same on the red of saturated red only, 320 (R - G - B) where R / (R + G + B) is at least 0.8
// (0 elsewhere), with transitions of more than 20.
// Each pixel's transitions are followed from turning point to turning point (a change counts once it has
// reached the threshold from the last extreme, however many frames it takes). A pixel flashes too often in a
// one-second window when it makes seven transitions or more there: more than three flashes. A window fails
// when such pixels cover 25 % or more of the whole frame, or of any region a ninth of the frame
// (341 x 256 of a 1024 x 768 view, the rule's ten-degree field), for either kind of flash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The share of the view whose flashing fails a window.
constexpr double kFlashingShare = 0.25;

// What flashes too often in the window of the last second, as shares of the whole frame and of the worst
// region.
struct FlashReading {
    double generalFrame = 0.0, generalRegion = 0.0;
    double redFrame = 0.0, redRegion = 0.0;
    bool Fails() const {
        return generalFrame >= kFlashingShare || generalRegion >= kFlashingShare ||
               redFrame >= kFlashingShare || redRegion >= kFlashingShare;
    }
};

class FlashMeter {
public:
    // Frames of width x height, `fps` of them a second.
    FlashMeter(int width, int height, int fps);

    // Adds the next frame, RGBA 8 bits a channel (alpha ignored), and reads the window of the last second
    // that ends with it (shorter while fewer frames have come).
    FlashReading Add(const uint8_t* rgba);

    int RegionWidth() const { return regionWidth_; }
    int RegionHeight() const { return regionHeight_; }

private:
    // One pixel's turning points on one measure.
    struct Track {
        float low = 0.0f, high = 0.0f;  // since the first frame, until the first transition
        float extreme = 0.0f;           // since the last transition, in its direction
        int8_t direction = 0;           // of the last transition: +1, -1, or 0 before the first
    };
    struct Measure {
        float threshold, darkerBelow;
        std::vector<Track> tracks;
        std::vector<uint8_t> history;  // transitions of each pixel in each frame of the window (a ring)
        std::vector<uint8_t> counts;   // transitions of each pixel in the window
    };
    bool Step(Track& track, float value, const Measure& measure, bool first) const;
    void Count(Measure& measure, size_t pixel, bool transition);
    // The shares of the frame and of the worst region whose pixels flash too often.
    void Shares(const Measure& measure, double& frame, double& region);

    int width_, height_, fps_;
    int regionWidth_, regionHeight_;
    long frames_ = 0;
    Measure general_, red_;
    std::vector<int> table_;  // summed-area table of the failing pixels
};

// The windows of a run, one ending at each frame, gathered into the spans of the show where they fail.
class FlashReport {
public:
    explicit FlashReport(int fps) : fps_(fps) {}
    // The reading of the window that ends with the frame drawn at `time` with `scene`.
    void Add(double time, const char* scene, const FlashReading& reading);

    int Windows() const { return windows_; }
    int Failing() const { return failing_; }
    // One line for each span of failing windows (its seconds, its scenes, the most that flashed there), then
    // one line of the whole run.
    std::string Text() const;

private:
    struct Span {
        double from = 0.0, to = 0.0;
        std::vector<const char*> scenes;
        FlashReading worst;
    };
    int fps_;
    int windows_ = 0, failing_ = 0, frameFailing_ = 0;
    std::vector<std::pair<double, const char*>> recent_;  // the frames of the last window
    std::vector<Span> spans_;
    bool open_ = false;  // the last window failed, and its span goes on
    FlashReading worst_;
    double worstTime_ = 0.0;
    const char* worstScene_ = "";
};
