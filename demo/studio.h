// The show as its makers run it (`tesselune --studio [DIR]`): the scenes' fragment texts, the kits they
// include and the schedule are read from DIR's shaders/ and scenes/schedule.txt instead of the built-in
// copies, and read again whenever one of them is saved.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "scenes/scene_schedule.h"
#include "scenes/scenes.h"

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
};

// The studio on the folder `dir` (holding shaders/ and scenes/schedule.txt). Not in the browser's build.
std::unique_ptr<Studio> OpenStudio(std::filesystem::path dir);
// The folder the program was built from, where it is still there; else empty.
std::filesystem::path StudioSourceTree();
