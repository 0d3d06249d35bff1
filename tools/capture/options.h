// The command line of the capture tool.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "scenes/show_frame.h"
#include "tools/capture/video.h"

// What each command takes.
constexpr char kStillUsage[] =
    "usage: tesselune-capture still --time T [--scene NAME] [--levels A,B,C] [--size WxH] [--track FILE] "
    "[--gentle] --output FILE.png\n";
constexpr char kVideoUsage[] =
    "usage: tesselune-capture video [--size WxH] [--fps N] [--from T0] [--to T1] [--quality preview|release] "
    "[--track FILE] [--gentle] (--output FILE.mp4 | --frames DIR)\n";
constexpr char kFlashesUsage[] =
    "usage: tesselune-capture flashes [--from T0] [--to T1] [--track FILE] [--gentle]\n";
// The whole usage, for `tesselune-capture --help` and a run without a command: the three commands, what they
// do, and the photosensitivity warning.
std::string CaptureUsage();

// The most seconds a time may lie from the start of the show either way: far beyond any track, and near
// enough for every time to be a sample position and every span a frame count.
constexpr double kMaxSeconds = 1e9;

struct CaptureOptions {
    enum class Mode { Still, Video, Flashes };
    Mode mode = Mode::Still;
    double time = 0.0;                           // still: the music time
    std::optional<SceneId> scene;                // still: drawn whatever the time
    std::optional<std::array<float, 3>> levels;  // still: the spectrum levels as given
    bool gentle = false;                         // the show's gentle mode
    int width = 1280, height = 720;
    int fps = 60;
    double from = 0.0;
    std::optional<double> to;  // video, flashes: the end, else the end of the show
    int frames = 0;            // video, flashes: how many are drawn, at --from + n / --fps before the end
    std::string output;        // the PNG or the video file
    std::string framesDir;     // video: numbered PNGs instead of a video
    // Set by -h, --help (the tool's or a command's usage) and --version: printed on standard output instead
    // of a run.
    std::string answer;
    // video: the encode; release unless told otherwise for 1280x720 and above, preview below
    VideoQuality quality = VideoQuality::Release;
    std::optional<std::string> track;  // else the show's, found where the show finds it
};

// Reads the arguments after the program name; false, with one line saying what is wrong, on a wrong usage.
// -h or --help anywhere an option may stand answers with the usage of the command it follows.
bool ParseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, std::string& error);
