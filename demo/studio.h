// The show as its makers run it (`tesselune --studio [DIR]`): the scenes' fragment texts, the kits they
// include and the schedule are read from DIR's shaders/ and scenes/schedule.txt instead of the built-in
// copies, and read again whenever one of them is saved; and the music is under the keyboard and the pointer:
//   Space             pause and resume, picture and sound together
//   Left / Right      one bar back or on
//   Page Up / Down    to the start of the slot before, or of the next slot of the schedule
//   Home              to the start
//   L                 loop the slot being shown (again: stop looping)
//   the strip along the bottom: a click or a drag moves to the time under the pointer
//   Tab               the overlay (demo/overlay.h): all of it, or only the faults standing
// At the end of the show the music pauses instead of the show ending.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "audio/audio_library.h"
#include "scenes/scene_schedule.h"
#include "scenes/scenes.h"
#include "scenes/show_frame.h"

class Studio {
public:
    virtual ~Studio() = default;

    // Looks at the files' times and sizes; where one has changed, reads them again and rebuilds each scene
    // whose fragment text now reads differently (`scene` gives the scene of an id), and takes a schedule
    // that reads differently. A text that does not build, or a schedule with a fault, is reported on
    // standard error and kept in Errors() until it is mended, and the last good program or schedule stays.
    virtual void Poll(const std::function<SceneBase*(SceneId)>& scene) = 0;
    virtual const Schedule& CurrentSchedule() const = 0;
    // The faults standing now, one after another: the scene (or the schedule's file) and what is wrong,
    // with the files' own names and line numbers.
    virtual std::string Errors() const = 0;

    // The track the studio moves: the channel `handle` of `audio` (0: none, and nothing moves).
    virtual void Attach(audio::AudioLibrary& audio, audio::Handle handle) = 0;
    // Before each frame reads the music: where the loop or the show has reached its end, the music is
    // moved back or paused.
    virtual void BeforeFrame() = 0;
    // A key down (the window layer's key codes); false where it is not the studio's.
    virtual bool OnKey(int key) = 0;
    // The pointer's first button pressed, moved or released at (x, y), from the top left of a client of
    // width x height.
    enum class Pointer { kPress, kMove, kRelease };
    virtual void OnPointer(Pointer event, int x, int y, int width, int height) = 0;
    // After each frame is drawn with `music`, over a client of width x height: the overlay.
    virtual void AfterFrame(const MusicReading& music, int width, int height) = 0;
};

// The studio on the folder `dir` (holding shaders/ and scenes/schedule.txt). Not in the browser's build.
std::unique_ptr<Studio> OpenStudio(std::filesystem::path dir);
// The folder the program was built from, where it is still there; else empty.
std::filesystem::path StudioSourceTree();
