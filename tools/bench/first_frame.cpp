// tesselune-first-frame: the time from the start of a program to its first frame on the X screen.
//   tesselune-first-frame TIMEOUT_SECONDS PROGRAM [ARGUMENT...]
// Runs PROGRAM on the display DISPLAY names, whose screen must be black where the show's client area lies
// (an Xvfb started with -br). Every change to the screen is reported by the DAMAGE extension; at each, the
// client area is read back, and the first time it holds a pixel that is not black is the first presented
// frame. Prints the seconds from just before the start to the change that showed it, then stops PROGRAM.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>
#include <poll.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/standard_streams.h"
#include "tools/bench/process.h"

namespace {

// Where the show puts its window's client area when no window manager moves it.
constexpr int kLeft = 32, kTop = 32, kWidth = 1280, kHeight = 720;

int Fail(const std::string& message) {
    std::fprintf(stderr, "tesselune-first-frame: %s\n", message.c_str());
    return 1;
}

bool ClientHasColour(Display* display, Window root) {
    XImage* image = XGetImage(display, root, kLeft, kTop, kWidth, kHeight, AllPlanes, ZPixmap);
    if (image == nullptr) return false;
    const unsigned long colour = image->red_mask | image->green_mask | image->blue_mask;
    bool found = false;
    for (int y = 0; y < kHeight && !found; ++y) {
        if (image->bits_per_pixel == 32) {
            const auto* row = reinterpret_cast<const uint32_t*>(image->data + y * image->bytes_per_line);
            for (int x = 0; x < kWidth && !found; ++x) found = (row[x] & colour) != 0;
        } else {
            for (int x = 0; x < kWidth && !found; ++x) found = (XGetPixel(image, x, y) & colour) != 0;
        }
    }
    XDestroyImage(image);
    return found;
}

}  // namespace

int main(int argc, char** argv) {
    OpenStandardStreams();
    if (argc < 3) return Fail("usage: tesselune-first-frame TIMEOUT_SECONDS PROGRAM [ARGUMENT...]");
    const double timeout = std::atof(argv[1]);
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return Fail("cannot open the display DISPLAY names");
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) return Fail("no DAMAGE extension");
    const Window root = DefaultRootWindow(display);
    if (ClientHasColour(display, root)) return Fail("the screen is not black before the start");
    const Damage damage = XDamageCreate(display, root, XDamageReportNonEmpty);
    XSync(display, False);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    std::string error;
    const pid_t child = Spawn(std::vector<std::string>(argv + 2, argv + argc), {}, error);
    if (child < 0) return Fail(error);
    for (;;) {
        pollfd connection{ConnectionNumber(display), POLLIN, 0};
        poll(&connection, 1, 50);
        bool damaged = false;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            damaged |= event.type == damageEvent + XDamageNotify;
        }
        const Clock::time_point seen = Clock::now();
        if (damaged) {
            XDamageSubtract(display, damage, None, None);
            if (ClientHasColour(display, root)) {
                std::printf("%.6f\n", std::chrono::duration<double>(seen - start).count());
                std::fflush(stdout);
                StopChild(child, 10.0);
                return 0;
            }
        }
        if (waitpid(child, nullptr, WNOHANG) == child) return Fail("the program ended before it drew");
        if (std::chrono::duration<double>(seen - start).count() > timeout) {
            StopChild(child, 10.0);
            return Fail("nothing but black was shown in " + std::string(argv[1]) + " s");
        }
    }
}
