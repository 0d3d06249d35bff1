#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/egl/headless_gl.h"
#include "platform/window.h"
#include "platform/window_proc.h"
#include "tests/recording_window.h"

namespace {

// Records every handler call, with the stored size and the GL viewport as the handler sees them.
class Recorder : public RecordingWindow<CoreWindowHandlers> {
public:
    void OnLButtonUp(int x, int y) override { Record("LButtonUp", x, y); }
    void OnRButtonDown(int x, int y) override { Record("RButtonDown", x, y); }
    void OnMButtonDown(int x, int y) override { Record("MButtonDown", x, y); }
    void OnMButtonUp(int x, int y) override { Record("MButtonUp", x, y); }
    void OnIdle() override { Record("Idle", 0, 0); }
    void MakeCurrent() override {}
    void Activate(bool) override {}
    void SwapFrame() override {}
    int GetWidth() override { return width; }
    int GetHeight() override { return height; }
    const char* GetExeDirectory() override { return ""; }

    int width = 7, height = 9;
};

class Routing : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        gl_ = HeadlessGL::Create(64, 48, HeadlessGL::Format::RGBA8, error);
        ASSERT_NE(gl_, nullptr) << error;
        Message m;
        while (platform::PollMessage(m)) {
        }
    }
    Routed Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
        return WindowProc(&window_, Message{nullptr, message, wParam, lParam});
    }
    std::unique_ptr<HeadlessGL> gl_;
    Recorder window_;
};

TEST_F(Routing, SizeIsStoredAndTheViewportSetBeforeOnResize) {
    EXPECT_EQ(Send(WM_SIZE, 0, MakeLParam(40, 30)), Routed::Default);
    ASSERT_EQ(window_.calls, std::vector<std::string>{"Resize 40 30 stored 40x30 viewport 40x30"});
    // Sizes are unsigned words; lParam 0 is a 0 by 0 client.
    window_.calls.clear();
    Send(WM_SIZE, 0, 0);
    EXPECT_EQ(window_.calls, std::vector<std::string>{"Resize 0 0 stored 0x0 viewport 0x0"});
    window_.calls.clear();
    Send(WM_SIZE, 0, MakeLParam(0xFFFF, 0x8000));
    EXPECT_EQ(window_.calls.back().substr(0, 19), "Resize 65535 32768 ");
}

TEST_F(Routing, PointerPositionsAreSignedWords) {
    Send(WM_MOUSEMOVE, 0, MakeLParam(0xFFFF, 12));
    Send(WM_LBUTTONDOWN, 0, MakeLParam(3, 0xFFFF));
    Send(WM_LBUTTONUP, 0, MakeLParam(-5, -300));
    Send(WM_RBUTTONDOWN, 0, MakeLParam(32767, 0x8000));
    Send(WM_RBUTTONUP, 0, MakeLParam(1, 2));
    Send(WM_MBUTTONDOWN, 0, MakeLParam(3, 4));
    Send(WM_MBUTTONUP, 0, MakeLParam(5, 6));
    EXPECT_EQ(window_.calls, (std::vector<std::string>{"MouseMove -1 12", "LButtonDown 3 -1",
                                                       "LButtonUp -5 -300", "RButtonDown 32767 -32768",
                                                       "RButtonUp 1 2", "MButtonDown 3 4", "MButtonUp 5 6"}));
}

TEST_F(Routing, KeysPaintAndDefaults) {
    EXPECT_EQ(Send(WM_KEYDOWN, 27, 0), Routed::Default);
    EXPECT_EQ(Send(WM_KEYUP, 65, 0), Routed::Default);
    EXPECT_EQ(Send(WM_PAINT, 0, 0), Routed::Default);
    // Double-clicks and the wheel reach no handler.
    EXPECT_EQ(Send(WM_LBUTTONDBLCLK, 0, MakeLParam(1, 1)), Routed::Default);
    EXPECT_EQ(Send(WM_MOUSEWHEEL, 0, 0), Routed::Default);
    EXPECT_EQ(window_.calls, (std::vector<std::string>{"KeyDown 27 0", "KeyUp 65 0", "Draw 0 0"}));
}

TEST_F(Routing, SwallowedMessages) {
    EXPECT_EQ(Send(WM_DESTROY, 0, 0), Routed::Handled);
    EXPECT_EQ(Send(WM_ACTIVATE, 1, 0), Routed::Handled);
    EXPECT_EQ(Send(WM_ERASEBKGND, 0, 0), Routed::Handled);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_SCREENSAVE, 0), Routed::Handled);
    EXPECT_EQ(Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2), Routed::Handled);
    // Compared whole: the neighbours of the refused values pass on to the default.
    EXPECT_EQ(Send(WM_SYSCOMMAND, 0xF141, 0), Routed::Default);
    EXPECT_EQ(Send(WM_SYSCOMMAND, 0xF172, 0), Routed::Default);
    EXPECT_TRUE(window_.calls.empty());
    Message m;
    EXPECT_FALSE(platform::PollMessage(m)) << "WM_DESTROY posts no quit message";
}

TEST_F(Routing, CloseRequestPostsQuitAndEndsTheLoop) {
    EXPECT_EQ(Send(WM_CLOSE, 0, 0), Routed::Handled);
    Message m;
    ASSERT_TRUE(platform::PollMessage(m));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_TRUE(window_.calls.empty());
}

TEST_F(Routing, MessageBeforeThePropertyGoesToTheDefault) {
    EXPECT_EQ(WindowProc<Recorder>(nullptr, Message{nullptr, WM_CLOSE, 0, 0}), Routed::Default);
    EXPECT_EQ(WindowProc<Recorder>(nullptr, Message{nullptr, WM_SIZE, 0, MakeLParam(1, 1)}), Routed::Default);
    Message m;
    EXPECT_FALSE(platform::PollMessage(m));
}

// A window whose idle handler asks, on its third call, for the window to close.
class ClosingWindow : public Recorder {
public:
    void OnIdle() override {
        Record("Idle", 0, 0);
        if (calls.size() == 3) platform::PostQuit(0);
    }
};

TEST_F(Routing, LoopIdlesOnAnEmptyQueueAndEndsOnQuit) {
    ClosingWindow window;
    CoreWindowPlatform* const first = FirstWindow;
    FirstWindow = &window;
    RunMessageLoop();
    FirstWindow = first;
    EXPECT_EQ(window.calls, (std::vector<std::string>{"Idle 0 0", "Idle 0 0", "Idle 0 0"}));
}

}  // namespace
