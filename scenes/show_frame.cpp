#include "scenes/show_frame.h"

#include <filesystem>

#include "platform/gl.h"

std::string FindTrack(const std::string& exeDirectory) {
    for (const std::string& path : {std::string(kTrackPath), exeDirectory + kTrackPath,
                                    exeDirectory + "../share/tesselune/" + kTrackPath}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return kTrackPath;
}

void ClearFrame() {
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void DrawScene(SceneBase& scene, int width, int height, const MusicReading& music) {
    scene.width = static_cast<float>(width);
    scene.height = static_cast<float>(height);
    scene.Render(music.time, music.levels.data());
}
