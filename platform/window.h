// The window interface every platform implements, and the process-wide state of the window layer.
#pragma once

#include <string>

#include "platform/platform.h"

// How the show's window opens. By default it asks to be maximised, taking the whole work area of the screen.
struct WindowOptions {
    int width = 0, height = 0;  // above 0: a plain resizable window of this client size instead
    bool fullScreen = false;    // full screen from the start, at the desktop's own resolution
    bool vsync = true;          // each swap waits for the display
};

// How long a window that cannot be seen waits for its next message before the show looks at its music again.
constexpr int kHiddenWaitMilliseconds = 100;

class CoreWindowPlatform {
public:
    virtual ~CoreWindowPlatform() = default;

    virtual void OnLButtonDown(int x, int y) = 0;
    virtual void OnLButtonUp(int x, int y) = 0;
    virtual void OnRButtonDown(int x, int y) = 0;
    virtual void OnRButtonUp(int x, int y) = 0;
    virtual void OnMButtonDown(int x, int y) = 0;
    virtual void OnMButtonUp(int x, int y) = 0;
    virtual void OnMouseMove(int x, int y) = 0;
    // Reserved: nothing routes to them and their arguments are never read.
    virtual void OnReservedA(unsigned a, unsigned b, unsigned c) = 0;
    virtual void OnReservedB(unsigned a) = 0;
    virtual void OnReservedC(unsigned a, unsigned b, unsigned c) = 0;
    virtual void OnReservedD(unsigned a) = 0;
    virtual void OnKeyDown(int key) = 0;
    virtual void OnKeyUp(int key) = 0;
    virtual void OnResize(int width, int height) = 0;
    virtual void OnReservedE() = 0;
    virtual void OnIdle() = 0;
    virtual void OnDraw() = 0;
    virtual void MakeCurrent() = 0;
    virtual void Activate(bool activate) = 0;
    virtual void SwapFrame() = 0;
    virtual int GetWidth() = 0;
    virtual int GetHeight() = 0;
    virtual const char* GetExeDirectory() = 0;
};

// The window whose construction created a window first; the message loop drives it. Never cleared.
extern CoreWindowPlatform* FirstWindow;

// Runs the message loop until the quit message: dispatches every waiting message and, whenever the queue is
// empty, calls FirstWindow's OnIdle. It never waits.
void RunMessageLoop();

// The empty handlers every platform's window starts from: input and frame handlers that do nothing until a
// derived window overrides them. The reserved slots stay inert.
class CoreWindowHandlers : public CoreWindowPlatform {
public:
    void OnLButtonDown(int, int) override {}
    void OnLButtonUp(int, int) override {}
    void OnRButtonDown(int, int) override {}
    void OnRButtonUp(int, int) override {}
    void OnMButtonDown(int, int) override {}
    void OnMButtonUp(int, int) override {}
    void OnMouseMove(int, int) override {}
    void OnReservedA(unsigned, unsigned, unsigned) override {}
    void OnReservedB(unsigned) override {}
    void OnReservedC(unsigned, unsigned, unsigned) override {}
    void OnReservedD(unsigned) override {}
    void OnKeyDown(int) override {}
    void OnKeyUp(int) override {}
    void OnResize(int, int) override {}
    void OnReservedE() override {}
    void OnIdle() override {}
    void OnDraw() override {}
};

// The line of a start-up failure (ReportFailure), the same on every platform: "text (reason)", or the text
// alone.
std::string FailureLine(const char* text, const char* reason);
// Writes that line to standard error.
void WriteFailure(const char* text, const char* reason);
