// A shader text read from a folder of shader files at run time (the studio's live shaders), assembled as the
// build embeds it: each line `#include "file"` is replaced by that file of the folder, and each file's own
// final line break is dropped. Every line remembers where it came from, so that a driver's log can name the
// file's own lines.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct ShaderFileText {
    struct Origin {
        std::string file;  // a file name within the folder
        int line;          // from 1
    };

    // Reads `file` of `folder`: false, with the file and why in `error`, where it (or a file it includes)
    // cannot be read or includes itself.
    bool Read(const std::filesystem::path& folder, const std::string& file, std::string& error);
    // `log` with each reference to a line of the text ("0:134" or "0(134)", as drivers write them) replaced
    // by the file and line it came from ("noise_kit.glsl:87").
    std::string NameLines(const std::string& log) const;

    std::string text;
    std::vector<Origin> origins;  // one per line of `text`
};
