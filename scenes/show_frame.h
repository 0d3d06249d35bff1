// The show's frame, the same for the show and its tools: the framebuffer cleared to black, the music read,
// and the scene shown at that music time drawn over the whole viewport. Presenting it is the caller's.
#pragma once

#include <array>
#include <string>

#include "scenes/scenes.h"

// The show's track, relative to the working directory.
constexpr char kTrackPath[] = "Resource/Glacierhorn.mp3";
// Where the show and its tools find the track: in the working directory first, else beside the program (as a
// release bundle unpacks it), else where an install put it (<prefix>/share/tesselune beside <prefix>/bin).
// `exeDirectory` is the program's folder, ending in a separator. The working directory's path when none of
// them holds the file.
std::string FindTrack(const std::string& exeDirectory);

// What a frame reads from the music: its time in seconds and the three spectrum levels.
struct MusicReading {
    double time = 0.0;
    std::array<float, 3> levels{};
};

// Clears colour and depth to black.
void ClearFrame();
// Draws `scene` over a viewport of width x height with `music`'s time and levels.
void DrawScene(SceneBase& scene, int width, int height, const MusicReading& music);

// One frame: cleared, then the music read (`readMusic()`, after the clear as the show reads its audio), then
// the scene `sceneAt(time)` drawn, where there is one.
template <class ReadMusic, class SceneAt>
void DrawShowFrame(int width, int height, ReadMusic&& readMusic, SceneAt&& sceneAt) {
    ClearFrame();
    const MusicReading music = readMusic();
    if (SceneBase* scene = sceneAt(music.time)) DrawScene(*scene, width, height, music);
}
