// The Win32 parts of the window layer that need no window: the message queue, the GL loader without a
// context, and the directory part of the executable's path.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wgl/core_window.h"

namespace {

void DrainQueue() {
    Message m;
    while (platform::PollMessage(m)) {
    }
}

TEST(Win32Queue, PostQuitPostsTheQuitMessageWithItsCode) {
    DrainQueue();
    platform::PostQuit(7);
    Message m;
    ASSERT_TRUE(platform::PollMessage(m));
    EXPECT_EQ(m.message, static_cast<uint32_t>(WM_QUIT));
    EXPECT_EQ(m.wParam, 7u);
    EXPECT_FALSE(platform::PollMessage(m)) << "PM_REMOVE takes it off the queue";
}

TEST(Win32Queue, PostedThreadMessagesComeOutInOrderWithTheirParameters) {
    DrainQueue();
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 1, 11, -12));
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 2, 0xFFFFFFFF, 0));
    Message m;
    ASSERT_TRUE(platform::PollMessage(m));
    EXPECT_EQ(m.window, nullptr);
    EXPECT_EQ(m.message, static_cast<uint32_t>(WM_APP + 1));
    EXPECT_EQ(m.wParam, 11u);
    EXPECT_EQ(m.lParam, -12);
    platform::Dispatch(m);  // a thread message has no window procedure to go to
    ASSERT_TRUE(platform::PollMessage(m));
    EXPECT_EQ(m.message, static_cast<uint32_t>(WM_APP + 2));
    EXPECT_EQ(m.wParam, 0xFFFFFFFFu);
    EXPECT_FALSE(platform::PollMessage(m));
}

// A window object with no Win32 window: its idle handler counts, and on the third call asks the loop to end.
class IdleWindow : public CoreWindowHandlers {
public:
    void OnIdle() override {
        if (++idles == 3) platform::PostQuit(0);
    }
    void MakeCurrent() override {}
    void Activate(bool) override {}
    void SwapFrame() override {}
    int GetWidth() override { return 0; }
    int GetHeight() override { return 0; }
    const char* GetExeDirectory() override { return ""; }

    int idles = 0;
};

TEST(Win32Queue, TheLoopIdlesWheneverTheQueueIsEmptyAndEndsOnQuit) {
    DrainQueue();
    IdleWindow window;
    CoreWindowPlatform* const first = FirstWindow;
    FirstWindow = &window;
    RunMessageLoop();
    FirstWindow = first;
    EXPECT_EQ(window.idles, 3);
}

TEST(GLLoader, WithoutAContextThereAreNoShaderFunctions) {
    ASSERT_EQ(wglGetCurrentContext(), nullptr);
    EXPECT_EQ(GetGLProcAddress("glCreateProgram"), nullptr);
    EXPECT_STREQ(gl::MissingShaderFunction(), "glCreateProgram");
}

std::string DirectoryOf(const char* path, size_t size = 2048) {
    std::vector<char> directory(size + 1, '#');
    ExeDirectoryOf(path, directory.data(), size);
    return directory.data();
}

TEST(ExeDirectory, TheDirectoryWithItsSeparatorAndWithoutTheDrive) {
    EXPECT_EQ(DirectoryOf("C:\\Demos\\Tesselune\\tesselune.exe"), "\\Demos\\Tesselune\\");
    EXPECT_EQ(DirectoryOf("Z:/work/build-win/tesselune.exe"), "/work/build-win/");
    EXPECT_EQ(DirectoryOf("C:\\tesselune.exe"), "\\");
    EXPECT_EQ(DirectoryOf("C:tesselune.exe"), "");
    EXPECT_EQ(DirectoryOf("\\\\server\\share\\show\\tesselune.exe"), "\\\\server\\share\\show\\");
    EXPECT_EQ(DirectoryOf("tesselune.exe"), "");
    // Truncated to the buffer, always terminated.
    EXPECT_EQ(DirectoryOf("C:\\Demos\\Tesselune\\tesselune.exe", 6), "\\Demo");
}

}  // namespace
