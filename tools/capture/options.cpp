#include "tools/capture/options.h"

#include <climits>
#include <cmath>
#include <string_view>

#include "platform/parse_number.h"
#include "scenes/gentle_frame.h"
#include "scenes/scene_schedule.h"
#include "tesselune_version.h"

namespace {

bool ParseSeconds(std::string_view text, double& seconds) {
    return ParseDouble(text, seconds) && std::abs(seconds) <= kMaxSeconds;
}

bool ParseLevels(std::string_view text, std::array<float, 3>& levels) {
    for (int i = 0; i < 3; ++i) {
        const size_t comma = i < 2 ? text.find(',') : text.size();
        double value = 0.0;
        if (comma == std::string_view::npos || !ParseDouble(text.substr(0, comma), value)) return false;
        levels[i] = static_cast<float>(value);
        text.remove_prefix(i < 2 ? comma + 1 : comma);
    }
    return true;
}

bool IsHelp(std::string_view argument) {
    return argument == "-h" || argument == "--help";
}

}  // namespace

std::string CaptureUsage() {
    return std::string(kStillUsage) + kVideoUsage + kFlashesUsage +
           "A still draws one frame of the show; a video every frame of a span, encoded with the track; "
           "flashes\n"
           "draws the show at 96x54, 60 frames a second, and prints the seconds that flash more than three\n"
           "times over a quarter of the frame or of any ninth of it (exit code 1 if any). The track is the "
           "one\n"
           "the show would play unless --track names another; --gentle draws the show's gentle mode.\n" +
           "--version: the tool's version.\n" + kPhotosensitivityWarning + "\n";
}

bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error) {
    if (argc < 1) return error = "no command: still, video or flashes", false;
    const std::string_view command = argv[0];
    if (IsHelp(command)) return options.answer = CaptureUsage(), true;
    if (command == "--version")
        return options.answer = std::string("tesselune-capture ") + kTesseluneVersion + "\n", true;
    if (command != "still" && command != "video" && command != "flashes")
        return error = "unknown command '" + std::string(command) + "'", false;
    const bool still = command == "still", flashes = command == "flashes";
    options.mode = still     ? CaptureOptions::Mode::Still
                   : flashes ? CaptureOptions::Mode::Flashes
                             : CaptureOptions::Mode::Video;
    if (flashes) options.width = 96, options.height = 54;
    if (command == "video") options.width = 1920, options.height = 1080;
    bool hasTime = false;
    std::optional<VideoQuality> quality;
    constexpr char kSecondsWanted[] = "a number of seconds from -1e9 to 1e9";
    for (int i = 1; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "--gentle") {
            options.gentle = true;
            continue;
        }
        if (IsHelp(name)) {
            options.answer = std::string(still     ? kStillUsage
                                         : flashes ? kFlashesUsage
                                                   : kVideoUsage) +
                             kPhotosensitivityWarning + "\n";
            return true;
        }
        if (i + 1 >= argc) return error = std::string(name) + " needs a value", false;
        const std::string_view value = argv[++i];
        const auto bad = [&](const std::string& what) {
            error = std::string(name) + " takes " + what + ", not '" + std::string(value) + "'";
            return false;
        };
        if (name == "--size" && !flashes) {
            if (!ParseSize(value, options.width, options.height))
                return bad("a size WxH of whole pixels above 0");
        } else if (name == "--output" && !flashes) {
            options.output = value;
        } else if (name == "--track") {
            options.track = value;
        } else if (still && name == "--time") {
            if (!ParseSeconds(value, options.time)) return bad(kSecondsWanted);
            hasTime = true;
        } else if (still && name == "--scene") {
            SceneId id;
            if (!FindScene(value, id)) {
                std::string names;
                for (const char* scene : kSceneNames)
                    names += (names.empty() ? "" : ", ") + std::string(scene);
                return bad("a scene name (" + names + ")");
            }
            options.scene = id;
        } else if (still && name == "--levels") {
            std::array<float, 3> levels;
            if (!ParseLevels(value, levels)) return bad("three finite numbers A,B,C");
            options.levels = levels;
        } else if (!still && !flashes && name == "--fps") {
            if (!ParseInt(value, options.fps) || options.fps < 1 || options.fps > 1000) {
                return bad("a whole number of frames per second from 1 to 1000");
            }
        } else if (!still && name == "--from") {
            if (!ParseSeconds(value, options.from)) return bad(kSecondsWanted);
        } else if (!still && name == "--to") {
            double to = 0.0;
            if (!ParseSeconds(value, to)) return bad(kSecondsWanted);
            options.to = to;
        } else if (!still && !flashes && name == "--frames") {
            options.framesDir = value;
        } else if (!still && !flashes && name == "--quality") {
            if (value != "preview" && value != "release") return bad("preview or release");
            quality = value == "preview" ? VideoQuality::Preview : VideoQuality::Release;
        } else {
            return error = "unknown option " + std::string(name) + " for " + std::string(command), false;
        }
    }
    if (still && !hasTime) return error = "still needs --time", false;
    if (still ? options.output.empty() : !flashes && options.output.empty() == options.framesDir.empty()) {
        return error = still ? "still needs --output FILE.png"
                             : "video needs one of --output FILE.mp4 and --frames DIR",
               false;
    }
    if (!still) {
        if (options.from < 0.0) return error = "--from must not be negative", false;
        const double end = options.to.value_or(ShowSchedule().end);
        if (options.from >= end) return error = "--to must come after --from", false;
        const double frames = std::ceil((end - options.from) * options.fps - 1e-9);
        if (frames > INT_MAX) {
            return error = "a video of at most " + std::to_string(INT_MAX) + " frames, not " +
                           std::to_string(static_cast<long long>(frames)),
                   false;
        }
        options.frames = static_cast<int>(frames);
        const bool fullSize = static_cast<long long>(options.width) * options.height >= 1280 * 720;
        options.quality = quality.value_or(fullSize ? VideoQuality::Release : VideoQuality::Preview);
        if (!options.output.empty() && (options.width % 2 != 0 || options.height % 2 != 0)) {
            return error = "a video needs an even width and height", false;
        }
    }
    return true;
}
