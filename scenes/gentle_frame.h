// The show's frame in the gentle mode, for viewers who must not see rapid flashing: the same scenes, schedule
// and music, with what flashes held below three flashes a second.
//   - The spectrum levels are followed with an attack and a release too slow for the pictures to pump with
//     the strokes of the music (sixteenth notes, six a second), yet quick enough to follow its phrases.
//   - The scene is drawn offscreen, and each pixel shown moves from the one shown last towards it by at most
//     a fixed amount of relative luminance (and of red) a second, too little to flash more than three times:
//     what moves slowly is untouched, what flickers keeps its average and loses its swing, and the cuts
//     between scenes are eased.
// Everything follows the music time, so a run at a fixed frame rate gives the same frames every time.
#pragma once

#include <array>
#include <cstdint>

#include "scenes/show_frame.h"

// How far ahead of a moment a gentle picture must start to show that moment as the show does.
constexpr double kGentleWarmUp = 2.0;

// The spectrum levels followed slowly: `Follow` takes the levels read at music time `time` and gives those
// the gentle frame draws with. The first reading is taken as it is.
class GentleLevels {
public:
    std::array<float, 3> Follow(double time, const std::array<float, 3>& levels);

private:
    bool started_ = false;
    double time_ = 0.0;
    std::array<float, 3> levels_{};
};

class GentleFrame {
public:
    GentleFrame() = default;  // its GL objects, like the scenes', live until the process ends
    GentleFrame(const GentleFrame&) = delete;
    GentleFrame& operator=(const GentleFrame&) = delete;

    // The first function beyond OpenGL 2.0 that the gentle mode needs (framebuffers, OpenGL 3.0) and the
    // current context lacks, or null when it has them all.
    static const char* MissingFunction();

    // The show's frame (DrawShowFrame) through the gentle mode, into the framebuffer bound when it is called;
    // the GL state is left as it was found. The first frame, and the first at a new size, is the scene's
    // own.
    template <class ReadMusic, class SceneAt>
    void Draw(int width, int height, ReadMusic&& readMusic, SceneAt&& sceneAt) {
        const uint32_t shownBefore = Begin(width, height);
        double time = 0.0;
        DrawShowFrame(
            width, height,
            [&] {
                MusicReading music = readMusic();
                music.levels = levels_.Follow(music.time, music.levels);
                time = music.time;
                return music;
            },
            sceneAt);
        Finish(time, shownBefore);
    }

private:
    // Makes the targets ready for width x height and binds the scene's; the framebuffer that was bound.
    uint32_t Begin(int width, int height);
    // Limits the scene's picture against the one shown last, keeps it, and draws it into `framebuffer`.
    void Finish(double time, uint32_t framebuffer);

    GentleLevels levels_;
    uint32_t program_ = 0;
    uint32_t textures_[3] = {0, 0, 0};  // the scene's picture, then the pictures shown in turn
    uint32_t framebuffers_[3] = {0, 0, 0};
    int width_ = 0, height_ = 0;
    int shown_ = 1;      // which of textures_[1] and [2] holds the picture shown last
    bool fresh_ = true;  // nothing shown yet at this size
    double time_ = 0.0;
};
