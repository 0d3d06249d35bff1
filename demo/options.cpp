#include "demo/options.h"

#include <algorithm>
#include <string_view>

#include "platform/parse_number.h"
#include "tesselune_version.h"

namespace {

// One option: its name, the value it takes ("" for none; in brackets, a value it may go without), what --help
// says of it (null: left out of the usage), and how it sets the options from its value (false: the value is
// wrong, and it says so).
struct ShowFlag {
    const char* name;
    const char* value;
    const char* help;
    bool (*apply)(ShowOptions& options, std::string_view value, std::string& error);
};

bool Wanted(std::string& error, const char* what, std::string_view value) {
    error = std::string(what) + ", not '" + std::string(value) + "'";
    return false;
}

constexpr ShowFlag kFlags[] = {
    {"--window", "WxH", "a plain resizable window of this client size, instead of the whole screen",
     [](ShowOptions& o, std::string_view v, std::string& e) {
         return ParseSize(v, o.window.width, o.window.height) || Wanted(e, "a size WxH of whole pixels", v);
     }},
    {"--fullscreen", "", "start full screen (F11 or Alt+Enter toggles it)",
     [](ShowOptions& o, std::string_view, std::string&) {
         o.window.fullScreen = true;
         return true;
     }},
    {"--scale", "auto|FRACTION",
     "the share of the window's width and height the scenes are drawn at:\n"
     "chosen frame by frame to hold the display's rate (auto, the default),\n"
     "or fixed from 0.25 to 1",
     [](ShowOptions& o, std::string_view v, std::string& e) {
         if (v == "auto") return o.scale = 0.0, true;
         return (ParseDouble(v, o.scale) && o.scale >= 0.25 && o.scale <= 1.0) ||
                Wanted(e, "auto or a fraction from 0.25 to 1", v);
     }},
    {"--no-vsync", "", "present frames as soon as they are drawn, without waiting for the display",
     [](ShowOptions& o, std::string_view, std::string&) {
         o.window.vsync = false;
         return true;
     }},
    {"--track", "FILE", "play this track (MP3, WAV or a tracker module) instead of the show's own",
     [](ShowOptions& o, std::string_view v, std::string&) { return o.track = v, true; }},
    {"--gentle", "", "the gentle mode: the flashing held below three flashes a second",
     [](ShowOptions& o, std::string_view, std::string&) {
         o.gentle = true;
         return true;
     }},
    {"--studio", "[DIR]",
     "the studio, for the show's makers: its texts read again as they change, on DIR or\n"
     "the source tree the program was built from",
     [](ShowOptions& o, std::string_view v, std::string&) {
         o.studio = true;
         o.studioDir = v;
         return true;
     }},
    {"--tour", "SECONDS", nullptr,
     [](ShowOptions& o, std::string_view v, std::string& e) {
         return (ParseDouble(v, o.tour) && o.tour > 0.0) || Wanted(e, "a number of seconds above 0", v);
     }},
    {"--frame-log", "FILE", nullptr,
     [](ShowOptions& o, std::string_view v, std::string&) { return o.frameLog = v, true; }},
};

constexpr size_t kUsageColumn = 25;  // where the descriptions of the usage start

const ShowFlag* FindFlag(std::string_view name) {
    for (const ShowFlag& flag : kFlags) {
        if (name == flag.name) return &flag;
    }
    return nullptr;
}

}  // namespace

ShowCommand ParseShowOptions(int argc, const char* const* argv, ShowOptions& options, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        const std::string_view name = argv[i];
        if (name == "-h" || name == "--help") return ShowCommand::Help;
        if (name == "--version") return ShowCommand::Version;
        const ShowFlag* flag = FindFlag(name);
        if (flag == nullptr) {
            error = "unknown option '" + std::string(name) + "' (tesselune --help lists them)";
            return ShowCommand::Wrong;
        }
        const std::string_view wanted = flag->value;
        const bool optional = wanted.starts_with('[');
        const bool takes = !wanted.empty() && (!optional || (i + 1 < argc && argv[i + 1][0] != '-'));
        if (takes && i + 1 >= argc) {
            error = std::string(name) + " needs a value " + std::string(wanted);
            return ShowCommand::Wrong;
        }
        std::string why;
        if (!flag->apply(options, takes ? argv[++i] : "", why)) {
            error = std::string(name) + " takes " + why;
            return ShowCommand::Wrong;
        }
    }
    return ShowCommand::Run;
}

std::string ShowUsage() {
    const auto row = [](std::string head, std::string_view help) {
        head.resize(std::max(head.size() + 2, kUsageColumn), ' ');
        for (size_t start = 0, end = 0; start < help.size(); start = end + 1) {
            end = std::min(help.find('\n', start), help.size());
            head += std::string(start == 0 ? 0 : kUsageColumn, ' ') +
                    std::string(help.substr(start, end - start)) + "\n";
        }
        return head;
    };
    std::string usage =
        "usage: tesselune [OPTION]...\n"
        "Plays the show on the whole screen until the music ends, Escape is pressed or the window is "
        "closed.\n\n" +
        row("  -h, --help", "this text") + row("  --version", "the program's version");
    for (const ShowFlag& flag : kFlags)
        if (flag.help != nullptr)
            usage += row(std::string("  ") + flag.name + (*flag.value ? " " : "") + flag.value, flag.help);
    return usage + "\n" + kPhotosensitivityWarning + "\n";
}
