// The show's command line: every option is one row of the table in options.cpp, which also writes the usage.
#pragma once

#include <string>

#include "platform/window.h"

struct ShowOptions {
    WindowOptions window;  // --window WxH, --fullscreen, --no-vsync
    // The fraction of the window's width and height the scenes are drawn at: 0 chooses it frame by frame
    // (--scale auto), otherwise fixed (--scale 1, --scale 0.5).
    double scale = 0.0;
    std::string track;    // --track FILE; empty: the show's own, found as usual
    bool gentle = false;  // --gentle
    bool studio = false;  // --studio [DIR]: the studio, on DIR or the source tree the program was built from
    std::string studioDir;
    // For the benchmarks, not in the usage: --tour SECONDS shows every slot of the schedule in turn for that
    // long, from its start, then ends; --frame-log FILE writes a line per presented frame
    // (- for standard output).
    double tour = 0.0;
    std::string frameLog;
    // Set by the browser's program, not on any command line: the window builds only the scene its first frame
    // shows, and the page has the others built (MainWindow::PrepareScene) while its start card waits.
    bool scenesLater = false;
};

enum class ShowCommand { Run, Help, Version, Wrong };

// Reads the arguments after the program name. Wrong: `error` holds the one line that says why.
ShowCommand ParseShowOptions(int argc, const char* const* argv, ShowOptions& options, std::string& error);
// The usage the show prints for --help.
std::string ShowUsage();
