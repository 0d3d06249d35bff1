// The show's frames drawn offscreen: the scenes on a headless context, and the track's levels at any time.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "audio/decoded_track.h"
#include "platform/egl/headless_gl.h"
#include "scenes/gentle_frame.h"
#include "scenes/scene_schedule.h"
#include "scenes/show_frame.h"

class ShowRenderer {
public:
    // Null, with the reason in `error`, when there is no usable GL or the size is beyond what it allows.
    static std::unique_ptr<ShowRenderer> Create(int width, int height, std::string& error);

    int Width() const { return gl_->Width(); }
    int Height() const { return gl_->Height(); }
    // From now on, draws the frames as the show's gentle mode does.
    void BeGentle() { gentle_ = std::make_unique<GentleFrame>(); }
    // Draws the frame as the show draws it: cleared to black, then `scene` over the whole viewport.
    void Draw(SceneId scene, double time, const std::array<float, 3>& levels);
    // The frame drawn last, RGBA, bottom row first.
    void Read(uint8_t* rgba) const { gl_->ReadRGBA8(rgba); }

private:
    explicit ShowRenderer(std::unique_ptr<HeadlessGL> gl) : gl_(std::move(gl)) {}

    std::unique_ptr<HeadlessGL> gl_;
    std::array<std::unique_ptr<SceneBase>, kSceneCount> scenes_;  // each built when first drawn
    std::unique_ptr<GentleFrame> gentle_;
};

// The spectrum levels of a decoded track as live playback computes them at a music time.
class TrackLevels {
public:
    // `track` holds the frames from `first` on.
    explicit TrackLevels(std::shared_ptr<const audio::DecodedTrack> track, int64_t first = 0)
        : track_(std::move(track)), first_(first) {}
    // Decodes the track as the show opens it: as a stream, else as a module, and keeps only what the levels
    // from `from` to `until` need (from the start to the show's end unless told otherwise): what comes before
    // is decoded and let go, what comes after is not decoded. Null, with the reason, on failure.
    static std::unique_ptr<TrackLevels> Open(const std::string& path, std::string& error, double from = 0.0,
                                             double until = ShowSchedule().end);

    double Seconds() const { return static_cast<double>(first_ + track_->Frames()) / track_->sampleRate; }
    // The levels of the 2048 frames that start at `time` (not before `from`).
    std::array<float, 3> At(double time) const;

private:
    std::shared_ptr<const audio::DecodedTrack> track_;
    int64_t first_;
};

// An RGBA frame, bottom row first, as RGB with the top row first, as a screenshot shows it.
void FlipToRgb(const uint8_t* rgba, int width, int height, uint8_t* rgb);
