#include "platform/wgl/core_window.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/exit_on_interrupt.h"
#include "platform/gl.h"

namespace {

// The class name and the window property that links a window to its object are the same string.
constexpr char kClassName[] = "CoreWindow_wgl";
constexpr char kProperty[] = "CoreWindow_wgl";
constexpr char kTitle[] = "Tesselune";
constexpr LONG kClientWidth = 1280, kClientHeight = 720;
constexpr int kLeft = 32, kTop = 32;
constexpr DWORD kStyle = WS_POPUPWINDOW | WS_MAXIMIZE;  // 0x81880000; shown once the context is set up
// A pop-up may be minimised only with this bit (Wine's window manager side honours nothing else), and then
// the show rests.
constexpr DWORD kMinimisable = WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE;  // 0x40100
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
constexpr size_t kPathSize = 2048;
// Full screen, the pointer hides once it has been still this long.
constexpr ULONGLONG kPointerStillMilliseconds = 2000;
constexpr LPARAM kAltFlag = 1 << 29, kRepeatFlag = 1 << 30;  // a key message's lParam: Alt held, key repeated

// RGBA, 24 colour bits, 24 depth bits and 8 stencil bits, double-buffered, drawn into the window.
constexpr PIXELFORMATDESCRIPTOR kPixelFormat = {
    sizeof(PIXELFORMATDESCRIPTOR),
    1,                                                           // nVersion
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER,  // dwFlags, 0x25
    PFD_TYPE_RGBA,
    24,  //  cColorBits
    0,
    0,
    0,
    0,
    0,
    0,  // cRedBits, cRedShift, cGreenBits, cGreenShift, cBlueBits, cBlueShift
    0,
    0,  // cAlphaBits, cAlphaShift
    0,
    0,
    0,
    0,
    0,               // cAccumBits, cAccumRedBits, cAccumGreenBits, cAccumBlueBits, cAccumAlphaBits
    24,              // cDepthBits
    8,               // cStencilBits
    0,               // cAuxBuffers
    PFD_MAIN_PLANE,  // iLayerType
    0,               // bReserved
    0,
    0,
    0,  // dwLayerMask, dwVisibleMask, dwDamageMask
};
static_assert(sizeof(PIXELFORMATDESCRIPTOR) == 40);
static_assert(kStyle == 0x81880000 && kExStyle == 0x40100 && kClassStyle == 0x23);

// A window or class that cannot be had ends the process at once, without the run-time's clean-up; the exit
// code says that the start failed.
[[noreturn]] void FailStartup(const char* text, const std::string& reason) {
    ReportFailure(text, reason.c_str());
    ExitProcess(1);
}

// Windows' text for the last error of this thread, without its line break; empty when there is none.
std::string LastErrorText() {
    const DWORD code = GetLastError();
    if (code == 0) return {};
    char text[512] = {};
    const DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      code, 0, text, sizeof text, nullptr);
    std::string reason(text, size);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) {
        reason.pop_back();
    }
    return "error " + std::to_string(code) + (reason.empty() ? "" : ": " + reason);
}

}  // namespace

void* GetGLProcAddress(const char* name) {
    const PROC proc = wglGetProcAddress(name);
    // Some drivers answer a missing function with a small number rather than null.
    const auto value = reinterpret_cast<intptr_t>(proc);
    if (value >= -1 && value <= 3) return nullptr;
    return reinterpret_cast<void*>(proc);
}

void ReportFailure(const char* text, const char* reason) {
    WriteFailure(text, reason);
    // The box waits for a person; a console's Ctrl-C still ends the process.
    const ExitOnInterrupt interrupts;
    MessageBoxA(nullptr, text, "ERROR", MB_ICONWARNING);
}

namespace platform {

bool PollMessage(Message& message) {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
    message = Message{msg.hwnd, msg.message, msg.wParam, msg.lParam};
    return true;
}

void Dispatch(const Message& message) {
    // The time and pointer position of the message retrieved last, which this one is, come from the queue.
    const DWORD position = GetMessagePos();
    MSG msg{static_cast<HWND>(message.window),
            message.message,
            message.wParam,
            message.lParam,
            static_cast<DWORD>(GetMessageTime()),
            {static_cast<SHORT>(LOWORD(position)), static_cast<SHORT>(HIWORD(position))}};
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void PostQuit(int exitCode) {
    PostQuitMessage(exitCode);
}

}  // namespace platform

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Null while CreateWindowExA runs, before the property is attached: the table then leaves it to the
    // default.
    auto* object = static_cast<CoreWindow_wgl*>(GetPropA(window, kProperty));
    if (object != nullptr) {
        const bool pressed = (lParam & kRepeatFlag) == 0;
        if (pressed && ((message == WM_KEYDOWN && wParam == VK_F11) ||
                        (message == WM_SYSKEYDOWN && wParam == VK_RETURN && (lParam & kAltFlag) != 0))) {
            object->ToggleFullScreen();
            if (message == WM_SYSKEYDOWN) return 0;  // no menu, no beep
        }
        if (message == WM_MOUSEMOVE) object->PointerMoved(lParam);
        if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT && object->PointerHidden()) {
            SetCursor(nullptr);
            return TRUE;
        }
    }
    if (WindowProc(object, Message{window, message, wParam, lParam}) == Routed::Handled) return 0;
    return DefWindowProcA(window, message, wParam, lParam);
}

const char* ExeDirectoryOf(const char* path, char* directory, size_t size) {
    if (size == 0) return directory;
    const char* start = path;
    if (std::strlen(path) >= 2 && path[1] == ':') start += 2;  // the drive designator
    const char* end = start;                                   // just past the last separator
    for (const char* c = start; *c != '\0'; ++c) {
        if (*c == '\\' || *c == '/') end = c + 1;
    }
    std::snprintf(directory, size, "%.*s", static_cast<int>(end - start), start);
    return directory;
}

CoreWindow_wgl::CoreWindow_wgl(const WindowOptions& options) {
    OpenWindow(options);
    // Without a context the window is gone: the failure is reported, and HasContext() tells the derived
    // window.
    if (!SetupGL(hwnd, options.vsync)) return;
    if (options.fullScreen) ToggleFullScreen();
    // Maximised, the window has whatever client size the screen gives it.
    RECT client{};
    GetClientRect(hwnd, &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
    glViewport(0, 0, width, height);
    glLoadIdentity();
    CoreWindow_wgl::OnResize(width, height);
}

void CoreWindow_wgl::OpenWindow(const WindowOptions& options) {
    const bool sized = options.width > 0 && options.height > 0;
    const DWORD style = sized ? WS_OVERLAPPEDWINDOW : kStyle | kMinimisable;
    RECT rect{0, 0, sized ? options.width : kClientWidth, sized ? options.height : kClientHeight};
    AdjustWindowRect(&rect, style, FALSE);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA registered;
    if (!GetClassInfoA(instance, kClassName, &registered)) {
        WNDCLASSA windowClass{};
        windowClass.style = kClassStyle;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = instance;
        windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WINLOGO));
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<intptr_t>(COLOR_WINDOW + 1));
        windowClass.lpszClassName = kClassName;
        SetLastError(0);
        if (RegisterClassA(&windowClass) == 0) {
            FailStartup("Failed To Register The Window Class.", LastErrorText());
        }
    }
    SetLastError(0);
    const HWND created =
        CreateWindowExA(kExStyle, kClassName, kTitle, style, kLeft, kTop, rect.right - rect.left,
                        rect.bottom - rect.top, nullptr, nullptr, instance, this);
    if (created == nullptr) {
        const std::string reason = LastErrorText();
        TearDownWindow();
        FailStartup("Window Creation Error.", reason);
    }
    SetPropA(created, kProperty, this);
    hwnd = created;
    if (FirstWindow == nullptr) FirstWindow = this;
}

bool CoreWindow_wgl::SetupGL(HWND window, bool vsync) {
    const char* failure = nullptr;
    std::string reason;
    int format = 0;
    SetLastError(0);
    if ((hdc = GetDC(window)) == nullptr) {
        failure = "Can't Create a GL Device Context.";
    } else if ((format = ChoosePixelFormat(hdc, &kPixelFormat)) == 0) {
        failure = "Can't Find A Suitable PixelFormat.";
    } else if (!SetPixelFormat(hdc, format, &kPixelFormat)) {
        failure = "Can't Set The PixelFormat.";
    } else if ((hglrc = wglCreateContext(hdc)) == nullptr) {
        failure = "Can't Create A GL Rendering Context.";
    } else if (!wglMakeCurrent(hdc, hglrc)) {
        failure = "Can't Activate The GL Rendering Context.";
    } else if (const char* missing = gl::MissingShaderFunction()) {
        failure = "Can't Find The OpenGL 2.0 Shader Functions.";  // the scenes cannot be built without them
        reason = std::string("no ") + missing;
    }
    if (failure != nullptr) {
        if (reason.empty()) reason = LastErrorText();
        TearDownWindow();
        ReportFailure(failure, reason.c_str());
        return false;
    }
    // The swap waits for the display: adaptively where late swaps may tear rather than wait a whole interval.
    if (auto swapInterval = gl::Proc<BOOL(WINAPI*)(int)>("wglSwapIntervalEXT")) {
        auto extensions = gl::Proc<const char*(WINAPI*)(HDC)>("wglGetExtensionsStringARB");
        const char* names = extensions != nullptr ? extensions(hdc) : nullptr;
        const bool tear = names != nullptr && std::strstr(names, "WGL_EXT_swap_control_tear") != nullptr;
        swapInterval(!vsync ? 0 : tear ? -1 : 1);
    }
    ShowWindow(window, SW_SHOW);
    return true;
}

void CoreWindow_wgl::TearDownWindow() {
    if (hglrc != nullptr) {
        wglMakeCurrent(nullptr, nullptr);
        wglDeleteContext(hglrc);
        hglrc = nullptr;
    }
    ReleaseDC(hwnd, hdc);
    DestroyWindow(hwnd);
    hwnd = nullptr;
}

void CoreWindow_wgl::MakeCurrent() {
    if (wglGetCurrentContext() != hglrc) wglMakeCurrent(hdc, hglrc);
}

void CoreWindow_wgl::Activate(bool activate) {
    if (!activate) return;
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
}

void CoreWindow_wgl::SwapFrame() {
    SwapBuffers(hdc);
    if (fullScreen_ && !pointerHidden_ && GetTickCount64() - pointerMoved_ >= kPointerStillMilliseconds) {
        pointerHidden_ = true;
        SetCursor(nullptr);
    }
}

bool CoreWindow_wgl::IsShown() const {
    return IsWindowVisible(hwnd) && !IsIconic(hwnd);
}

void CoreWindow_wgl::WaitForMessage(int milliseconds) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(milliseconds), QS_ALLINPUT);
}

void CoreWindow_wgl::ToggleFullScreen() {
    fullScreen_ = !fullScreen_;
    if (fullScreen_) {
        // The whole monitor, taskbar and all, in a borderless pop-up; the window's style and place are kept
        // for the way back.
        styleBeforeFullScreen_ = GetWindowLongA(hwnd, GWL_STYLE);
        placementBeforeFullScreen_.length = sizeof placementBeforeFullScreen_;
        GetWindowPlacement(hwnd, &placementBeforeFullScreen_);
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor);
        if (IsZoomed(hwnd)) ShowWindow(hwnd, SW_RESTORE);
        SetWindowLongA(hwnd, GWL_STYLE, WS_POPUP | WS_VISIBLE);
        const RECT& area = monitor.rcMonitor;
        SetWindowPos(hwnd, HWND_TOP, area.left, area.top, area.right - area.left, area.bottom - area.top,
                     SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
        pointerHidden_ = true;
        SetCursor(nullptr);
    } else {
        SetWindowLongA(hwnd, GWL_STYLE, styleBeforeFullScreen_);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_FRAMECHANGED);
        SetWindowPlacement(hwnd, &placementBeforeFullScreen_);
        pointerHidden_ = false;
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
    }
    pointerMoved_ = GetTickCount64();
}

void CoreWindow_wgl::PointerMoved(LPARAM position) {
    if (position == pointerPosition_) return;  // Windows also sends it when nothing moved
    pointerPosition_ = position;
    pointerMoved_ = GetTickCount64();
    if (!pointerHidden_) return;
    pointerHidden_ = false;
    SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

const char* CoreWindow_wgl::GetExeDirectory() {
    static char directory[kPathSize];  // every call overwrites the same buffer
    char path[kPathSize];
    const DWORD length = GetModuleFileNameA(nullptr, path, kPathSize);
    path[length < kPathSize ? length : kPathSize - 1] = '\0';
    return ExeDirectoryOf(path, directory, sizeof directory);
}
