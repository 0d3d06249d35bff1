#include "platform/sdl/core_window.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/exit_on_interrupt.h"
#include "platform/gl.h"

namespace {

// The window property that links a window to its object.
constexpr char kProperty[] = "CoreWindow_wgl";
constexpr char kTitle[] = "Tesselune";
constexpr int kClientWidth = 1280, kClientHeight = 720, kLeft = 32, kTop = 32;
// The posted quit message travels through SDL's own queue as a user event with this code.
constexpr Sint32 kQuitCode = WM_QUIT;
// Full screen, the pointer hides once it has been still this long.
constexpr uint64_t kPointerStillMilliseconds = 2000;
constexpr uintptr_t kF11 = 0x7A, kReturn = 0x0D;
constexpr intptr_t kAltFlag = 1 << 29;  // a system key's lParam: Alt was held

[[noreturn]] void FailStartup(const char* text, const char* reason) {
    ReportFailure(text, reason);
    std::exit(1);
}

// The nearest Win32 virtual-key code of an SDL key; 0 where there is none.
int VirtualKey(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return 0x70 + (key - SDLK_F1);
    switch (key) {
        case SDLK_ESCAPE:
            return 0x1B;
        case SDLK_BACKSPACE:
            return 0x08;
        case SDLK_TAB:
            return 0x09;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return 0x0D;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return 0x10;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return 0x11;
        case SDLK_LALT:
        case SDLK_RALT:
            return 0x12;
        case SDLK_PAUSE:
            return 0x13;
        case SDLK_CAPSLOCK:
            return 0x14;
        case SDLK_SPACE:
            return 0x20;
        case SDLK_PAGEUP:
            return 0x21;
        case SDLK_PAGEDOWN:
            return 0x22;
        case SDLK_END:
            return 0x23;
        case SDLK_HOME:
            return 0x24;
        case SDLK_LEFT:
            return 0x25;
        case SDLK_UP:
            return 0x26;
        case SDLK_RIGHT:
            return 0x27;
        case SDLK_DOWN:
            return 0x28;
        case SDLK_INSERT:
            return 0x2D;
        case SDLK_DELETE:
            return 0x2E;
        default:
            return 0;
    }
}

uint32_t ButtonMessage(uint8_t button, bool down) {
    switch (button) {
        case SDL_BUTTON_LEFT:
            return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        case SDL_BUTTON_RIGHT:
            return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        case SDL_BUTTON_MIDDLE:
            return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        default:
            return 0;
    }
}

// Turns an SDL event into the window message it stands for; false for events that have none.
bool Translate(const SDL_Event& event, Message& m) {
    m = Message{};
    switch (event.type) {
        case SDL_WINDOWEVENT:
            m.window = SDL_GetWindowFromID(event.window.windowID);
            switch (event.window.event) {
                case SDL_WINDOWEVENT_SIZE_CHANGED: {
                    int w = 0, h = 0;
                    SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(m.window), &w, &h);
                    m.message = WM_SIZE;
                    m.lParam = MakeLParam(w, h);
                    return true;
                }
                case SDL_WINDOWEVENT_EXPOSED:
                    m.message = WM_PAINT;
                    return true;
                case SDL_WINDOWEVENT_CLOSE:
                    m.message = WM_CLOSE;
                    return true;
                default:
                    return false;
            }
        case SDL_QUIT:  // a close request from outside the window, such as SIGTERM: for the first window
            m.message = WM_CLOSE;
            return true;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (event.key.repeat) return false;
            m.window = SDL_GetWindowFromID(event.key.windowID);
            m.message = event.type == SDL_KEYUP ? WM_KEYUP : WM_KEYDOWN;
            m.wParam = static_cast<uintptr_t>(VirtualKey(event.key.keysym.sym));
            // A key pressed with Alt held is a system key, with Alt's flag in the lParam, as on Windows.
            if (event.type == SDL_KEYDOWN && (event.key.keysym.mod & KMOD_ALT) != 0) {
                m.message = WM_SYSKEYDOWN;
                m.lParam = kAltFlag;
            }
            return true;
        case SDL_MOUSEMOTION:
            m.window = SDL_GetWindowFromID(event.motion.windowID);
            m.message = WM_MOUSEMOVE;
            m.lParam = MakeLParam(event.motion.x, event.motion.y);
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            m.window = SDL_GetWindowFromID(event.button.windowID);
            m.message = ButtonMessage(event.button.button, event.type == SDL_MOUSEBUTTONDOWN);
            m.lParam = MakeLParam(event.button.x, event.button.y);
            return m.message != 0;
        case SDL_USEREVENT:
            if (event.user.code != kQuitCode) return false;
            m.message = WM_QUIT;
            return true;
        default:
            return false;
    }
}

// Whether a window can be seen follows its events: SDL's own flags do not always (a window the window manager
// iconifies is hidden, then minimised, and its flags may say neither).
void NoteShown(const SDL_WindowEvent& event) {
    SDL_Window* window = SDL_GetWindowFromID(event.windowID);
    auto* object =
        window != nullptr ? static_cast<CoreWindow_sdl*>(SDL_GetWindowData(window, kProperty)) : nullptr;
    if (object == nullptr) return;
    switch (event.event) {
        case SDL_WINDOWEVENT_HIDDEN:
        case SDL_WINDOWEVENT_MINIMIZED:
            object->SetShown(false);
            break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            object->SetShown(true);
            break;
        default:
            break;
    }
}

}  // namespace

void* GetGLProcAddress(const char* name) {
    return SDL_GL_GetProcAddress(name);
}

void ReportFailure(const char* text, const char* reason) {
    WriteFailure(text, reason);
    const ExitOnInterrupt interrupts;  // the box waits for a person; a signal still ends the process
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, "ERROR", text, nullptr);
}

namespace platform {

bool PollMessage(Message& message) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_WINDOWEVENT) NoteShown(event.window);
        if (Translate(event, message)) return true;
    }
    return false;
}

void Dispatch(const Message& message) {
    auto* window = static_cast<SDL_Window*>(message.window);
    auto* object = window != nullptr ? static_cast<CoreWindow_sdl*>(SDL_GetWindowData(window, kProperty))
                                     : static_cast<CoreWindow_sdl*>(FirstWindow);
    if (object != nullptr && ((message.message == WM_KEYDOWN && message.wParam == kF11) ||
                              (message.message == WM_SYSKEYDOWN && message.wParam == kReturn))) {
        object->ToggleFullScreen();
    }
    if (object != nullptr && message.message == WM_MOUSEMOVE) object->PointerMoved();
    WindowProc(object, message);
}

void PostQuit(int exitCode) {
    SDL_Event event{};
    event.type = SDL_USEREVENT;
    event.user.code = kQuitCode;
    event.user.data1 = reinterpret_cast<void*>(static_cast<intptr_t>(exitCode));
    SDL_PushEvent(&event);
}

}  // namespace platform

CoreWindow_sdl::CoreWindow_sdl(const WindowOptions& options) {
    OpenWindow(options);
    // Without a context the window is gone: the failure is reported, and HasContext() tells the derived
    // window.
    if (!SetupGL(options.vsync)) return;
    if (options.fullScreen) ToggleFullScreen();
    SDL_GL_GetDrawableSize(window, &width, &height);
    glViewport(0, 0, width, height);
    glLoadIdentity();
    CoreWindow_sdl::OnResize(width, height);
}

void CoreWindow_sdl::OpenWindow(const WindowOptions& options) {
    SDL_ClearError();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        FailStartup("Failed To Register The Window Class.", SDL_GetError());
    // The pixel format is asked for before the window exists: SDL picks the window's visual from it.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    // A video driver that shows nothing (SDL's choice when there is no display) is no window for a show.
    const std::string_view driver = SDL_GetCurrentVideoDriver();
    SDL_Window* created = nullptr;
    std::string reason = "the video driver \"" + std::string(driver) + "\" shows no window";
    if (driver != "offscreen" && driver != "dummy") {
        // Resizable, so that the window manager may give it the whole work area (SDL would otherwise fix its
        // size at 1280x720) and follow that area as it changes.
        const bool sized = options.width > 0 && options.height > 0;
        const Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE |
                             (sized ? 0 : SDL_WINDOW_BORDERLESS | SDL_WINDOW_MAXIMIZED);
        created = SDL_CreateWindow(kTitle, kLeft, kTop, sized ? options.width : kClientWidth,
                                   sized ? options.height : kClientHeight, flags);
        reason = SDL_GetError();
    }
    if (created == nullptr) {
        TearDownWindow();
        FailStartup("Window Creation Error.", reason.c_str());
    }
    SDL_SetWindowData(created, kProperty, this);
    window = created;
    if (FirstWindow == nullptr) FirstWindow = this;
    SDL_DisableScreenSaver();  // screen saver and monitor power-off stay off while the show runs
}

bool CoreWindow_sdl::SetupGL(bool vsync) {
    const char* failure = nullptr;
    std::string reason;
    int doubleBuffer = 0, red = 0, green = 0, blue = 0, depth = 0, stencil = 0;
    SDL_ClearError();
    if (SDL_GL_LoadLibrary(nullptr) != 0) {
        failure = "Can't Create a GL Device Context.";
    } else if ((context = SDL_GL_CreateContext(window)) == nullptr) {
        failure = "Can't Create A GL Rendering Context.";
    } else if (SDL_GL_MakeCurrent(window, context) != 0) {
        failure = "Can't Activate The GL Rendering Context.";
    } else if (SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer) != 0 ||
               SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red) != 0 ||
               SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &green) != 0 ||
               SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &blue) != 0 ||
               SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth) != 0 ||
               SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencil) != 0) {
        failure = "Can't Set The PixelFormat.";
    } else if (!doubleBuffer || red + green + blue < 24 || depth < 24 || stencil < 8) {
        failure = "Can't Find A Suitable PixelFormat.";
        reason = "granted " + std::to_string(red + green + blue) + " colour, " + std::to_string(depth) +
                 " depth and " + std::to_string(stencil) + " stencil bits, " +
                 (doubleBuffer ? "double-buffered" : "single-buffered");
    } else if (const char* missing = gl::MissingShaderFunction()) {
        failure = "Can't Find The OpenGL 2.0 Shader Functions.";
        reason = std::string("no ") + missing;
    }
    if (failure != nullptr) {
        if (reason.empty()) reason = SDL_GetError();
        TearDownWindow();
        ReportFailure(failure, reason.c_str());
        return false;
    }
    // The swap waits for the display: adaptively where late swaps may tear rather than wait a whole interval.
    if (!vsync || SDL_GL_SetSwapInterval(-1) != 0) SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    SDL_ShowWindow(window);
    return true;
}

void CoreWindow_sdl::TearDownWindow() {
    if (context != nullptr) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(context);
        context = nullptr;
    }
    if (window != nullptr) SDL_DestroyWindow(window);
    window = nullptr;
}

void CoreWindow_sdl::MakeCurrent() {
    if (SDL_GL_GetCurrentContext() != context) SDL_GL_MakeCurrent(window, context);
}

void CoreWindow_sdl::Activate(bool activate) {
    if (!activate) return;
    SDL_RaiseWindow(window);
    SDL_SetWindowInputFocus(window);
}

void CoreWindow_sdl::SwapFrame() {
    SDL_GL_SwapWindow(window);
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0 &&
        SDL_GetTicks64() - pointerMoved_ >= kPointerStillMilliseconds &&
        SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE) {
        SDL_ShowCursor(SDL_DISABLE);
    }
}

bool CoreWindow_sdl::IsShown() const {
    return shown_ && (SDL_GetWindowFlags(window) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

void CoreWindow_sdl::WaitForMessage(int milliseconds) {
    SDL_WaitEventTimeout(nullptr, milliseconds);
}

void CoreWindow_sdl::ToggleFullScreen() {
    const Uint32 flags = SDL_GetWindowFlags(window);
    const bool full = (flags & SDL_WINDOW_FULLSCREEN) == 0;
    // A window manager may drop the maximised state in full screen: it is asked for again on the way back.
    if (full) maximisedBeforeFullScreen_ = (flags & SDL_WINDOW_MAXIMIZED) != 0;
    SDL_SetWindowFullscreen(window, full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    if (!full && maximisedBeforeFullScreen_) SDL_MaximizeWindow(window);
    SDL_ShowCursor(full ? SDL_DISABLE : SDL_ENABLE);
}

void CoreWindow_sdl::PointerMoved() {
    pointerMoved_ = SDL_GetTicks64();
    SDL_ShowCursor(SDL_ENABLE);
}

const char* CoreWindow_sdl::GetExeDirectory() {
    static char directory[2048];  // every call overwrites the same buffer
    char* path = SDL_GetBasePath();
    std::snprintf(directory, sizeof directory, "%s", path != nullptr ? path : "");
    SDL_free(path);
    return directory;
}
