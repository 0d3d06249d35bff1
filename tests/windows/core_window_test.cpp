// CoreWindow_wgl on a real display (Wine on Xvfb in CI): the window, its class and property, its GL context,
// and the routing of messages sent through Win32 to the window procedure.
#include "platform/wgl/core_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/recording_window.h"

namespace {

// Exposes the handles and records every handler call with the stored size and the viewport it sees.
class TestWindow : public RecordingWindow<CoreWindow_wgl> {
public:
    void OnIdle() override {
        Record("Idle", 0, 0);
        if (++idles == closeOnIdle) PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam) {
        return SendMessageA(hwnd, message, wParam, lParam);
    }

    HWND Hwnd() const { return hwnd; }
    HGLRC Hglrc() const { return hglrc; }
    HDC Hdc() const { return hdc; }
    int Width() const { return width; }
    int Height() const { return height; }

    int idles = 0;
    int closeOnIdle = 0;
};

// The first window of the process, shared by the tests: FirstWindow names it for good.
TestWindow& First() {
    static TestWindow* const window = new TestWindow;
    return *window;
}

// Handles what is waiting (a window's paint request stays on the queue until it is handled) and drops the
// quit messages of earlier tests.
void DrainQueue() {
    Message m;
    for (int i = 0; i < 1000 && platform::PollMessage(m); ++i) {
        if (m.message != WM_QUIT) platform::Dispatch(m);
    }
}

bool QuitPosted() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

class CoreWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestWindow& first = First();
        ASSERT_TRUE(first.HasContext());
        first.MakeCurrent();
        DrainQueue();
        first.calls.clear();
    }
};

TEST_F(CoreWindowTest, OpensAVisibleMaximisedPopUpWithAContextOnItsDeviceContext) {
    TestWindow& window = First();
    const HWND hwnd = window.Hwnd();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(FirstWindow, &window);
    EXPECT_EQ(GetPropA(hwnd, "CoreWindow_wgl"), static_cast<HANDLE>(&window));
    EXPECT_TRUE(IsWindowVisible(hwnd));

    char text[64] = {};
    GetWindowTextA(hwnd, text, sizeof text);
    EXPECT_STREQ(text, "Tesselune");
    GetClassNameA(hwnd, text, sizeof text);
    EXPECT_STREQ(text, "CoreWindow_wgl");
    const auto style = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE));
    EXPECT_EQ(style & (WS_POPUPWINDOW | WS_MAXIMIZE), static_cast<DWORD>(WS_POPUPWINDOW | WS_MAXIMIZE));
    EXPECT_EQ(style & (WS_DLGFRAME | WS_THICKFRAME), 0u) << "no title bar, no sizing border";
    // Windows keeps WS_EX_WINDOWEDGE only for windows with a raised edge, which a pop-up has not.
    const auto exStyle = static_cast<DWORD>(GetWindowLongA(hwnd, GWL_EXSTYLE));
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, static_cast<DWORD>(WS_EX_APPWINDOW));

    WNDCLASSA windowClass{};
    ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "CoreWindow_wgl", &windowClass));
    EXPECT_EQ(windowClass.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_OWNDC));
    EXPECT_EQ(windowClass.lpfnWndProc, static_cast<WNDPROC>(WindowProc));

    // The size is what the screen gave the maximised window, and the viewport covers it.
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(window.Width(), client.right);
    EXPECT_EQ(window.Height(), client.bottom);
    EXPECT_GT(window.Width(), 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], window.Width());
    EXPECT_EQ(viewport[3], window.Height());

    // A double-buffered RGBA format with the depth and stencil asked for, and the context current on it.
    EXPECT_EQ(wglGetCurrentContext(), window.Hglrc());
    EXPECT_EQ(wglGetCurrentDC(), window.Hdc());
    PIXELFORMATDESCRIPTOR format{};
    ASSERT_NE(DescribePixelFormat(window.Hdc(), GetPixelFormat(window.Hdc()), sizeof format, &format), 0);
    EXPECT_EQ(format.dwFlags & 0x25u, 0x25u);
    EXPECT_EQ(format.iPixelType, PFD_TYPE_RGBA);
    EXPECT_GE(format.cColorBits, 24);
    EXPECT_GE(format.cDepthBits, 24);
    EXPECT_GE(format.cStencilBits, 8);
    EXPECT_EQ(gl::MissingShaderFunction(), nullptr);
}

TEST_F(CoreWindowTest, ASecondWindowReusesTheClassAndLeavesFirstWindowAlone) {
    // Like every window of the layer it lives until the process ends: its messages still reach it.
    TestWindow& second = *new TestWindow;
    ASSERT_TRUE(second.HasContext());
    EXPECT_NE(second.Hwnd(), First().Hwnd());
    EXPECT_EQ(FirstWindow, &First());
    EXPECT_EQ(GetPropA(second.Hwnd(), "CoreWindow_wgl"), static_cast<HANDLE>(&second));
    EXPECT_EQ(wglGetCurrentContext(), second.Hglrc());

    // MakeCurrent binds the window's own context again.
    First().MakeCurrent();
    EXPECT_EQ(wglGetCurrentContext(), First().Hglrc());
    wglMakeCurrent(nullptr, nullptr);
    second.MakeCurrent();
    EXPECT_EQ(wglGetCurrentContext(), second.Hglrc());

    // Activate(true) gives the window the keyboard focus; Activate(false) does nothing.
    second.Activate(true);
    EXPECT_EQ(GetFocus(), second.Hwnd());
    First().Activate(false);
    EXPECT_EQ(GetFocus(), second.Hwnd());
    First().Activate(true);
    EXPECT_EQ(GetFocus(), First().Hwnd());
    EXPECT_EQ(GetForegroundWindow(), First().Hwnd());
}

TEST_F(CoreWindowTest, SizeIsStoredAndTheViewportSetBeforeOnResize) {
    TestWindow& window = First();
    const int width = window.Width(), height = window.Height();
    window.Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 200));
    window.Send(WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"Resize 300 200 stored 300x200 viewport 300x200",
                                                      "Resize 0 0 stored 0x0 viewport 0x0"}));
    window.Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
    EXPECT_EQ(window.Width(), width);
}

TEST_F(CoreWindowTest, InputReachesTheHandlersWithSignedPositions) {
    TestWindow& window = First();
    EXPECT_EQ(window.Send(WM_MOUSEMOVE, 0, MAKELPARAM(0xFFFF, 12)), 0);
    window.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 0xFFFF));
    window.Send(WM_RBUTTONUP, 0, MAKELPARAM(-5, -300));
    window.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(1, 1));  // not routed
    window.Send(WM_MOUSEWHEEL, 0, 0);                             // not routed
    window.Send(WM_KEYDOWN, VK_ESCAPE, 0);
    window.Send(WM_KEYUP, 'A', 0);
    EXPECT_EQ(window.calls, (std::vector<std::string>{"MouseMove -1 12", "LButtonDown 3 -1",
                                                      "RButtonUp -5 -300", "KeyDown 27 0", "KeyUp 65 0"}));
}

TEST_F(CoreWindowTest, CloseRequestPostsQuitAndLeavesTheWindow) {
    TestWindow& window = First();
    EXPECT_EQ(window.Send(WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(window.Hwnd()));
    EXPECT_TRUE(QuitPosted());
    // The system menu's close goes through the default handling to WM_CLOSE, and so to the same quit.
    window.Send(WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(IsWindow(window.Hwnd()));
    EXPECT_TRUE(QuitPosted());
    // These are swallowed: no quit, no handler, the window stays.
    EXPECT_EQ(window.Send(WM_DESTROY, 0, 0), 0);
    EXPECT_EQ(window.Send(WM_ERASEBKGND, 0, 0), 0);
    EXPECT_EQ(window.Send(WM_ACTIVATE, WA_ACTIVE, 0), 0);
    EXPECT_EQ(window.Send(WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(window.Send(WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(IsWindow(window.Hwnd()));
    EXPECT_TRUE(window.calls.empty());
}

TEST_F(CoreWindowTest, AWindowWithoutThePropertyGetsTheDefaultHandling) {
    First();  // the class is registered
    const HWND bare = CreateWindowExA(0, "CoreWindow_wgl", "bare", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(bare, nullptr);
    SendMessageA(bare, WM_SIZE, 0, MAKELPARAM(1, 1));
    // DefWindowProcA destroys a window on WM_CLOSE and posts no quit.
    SendMessageA(bare, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(bare));
    EXPECT_FALSE(QuitPosted());
    EXPECT_TRUE(First().calls.empty());
}

TEST_F(CoreWindowTest, TheLoopDispatchesPostedMessagesIdlesAndEndsOnClose) {
    TestWindow& window = First();
    PostMessageA(window.Hwnd(), WM_KEYDOWN, 'B', 0);
    window.closeOnIdle = window.idles + 2;
    RunMessageLoop();
    window.closeOnIdle = 0;
    ASSERT_GE(window.calls.size(), 3u);
    EXPECT_EQ(window.calls.front(), "KeyDown 66 0");
    EXPECT_EQ(std::count(window.calls.begin(), window.calls.end(), "Idle 0 0"), 2);
    EXPECT_TRUE(IsWindow(window.Hwnd()));
}

TEST_F(CoreWindowTest, ExeDirectoryHoldsTheRunningProgram) {
    const char* directory = First().GetExeDirectory();
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(First().GetExeDirectory(), directory) << "one buffer for every call";
    const std::string path = directory;
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), '\\');
    EXPECT_NE(path.substr(0, 2).back(), ':') << "no drive designator";
    char module[2048];
    GetModuleFileNameA(nullptr, module, sizeof module);
    const std::string full = module;
    EXPECT_EQ(full.substr(2, path.size()), path);
    EXPECT_EQ(full.find('\\', 2 + path.size()), std::string::npos) << "only the file name follows";
}

}  // namespace
