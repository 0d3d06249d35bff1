#include "platform/web/core_window.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "platform/gl.h"
#include "platform/message_queue.h"

namespace {

constexpr char kCanvas[] = "#canvas";
constexpr char kTitle[] = "Tesselune";

// The page's callbacks post to the queue, and the animation frames drain it.
void Post(uint32_t message, uintptr_t wParam, intptr_t lParam) {
    platform::Post(Message{FirstWindow, message, wParam, lParam});
}

// Device pixels a CSS pixel of the canvas gets at most: beyond 2 (a phone's 3) the eye gains little and the
// scenes would cost over twice the pixels.
constexpr double kMaxPixelRatio = 2.0;

double PixelRatio() {
    return std::min(emscripten_get_device_pixel_ratio(), kMaxPixelRatio);
}

// The size the canvas's drawing buffer should have: its size on the page in device pixels, at a ratio of at
// most 2.
intptr_t CanvasSize() {
    double cssWidth = 0.0, cssHeight = 0.0;
    emscripten_get_element_css_size(kCanvas, &cssWidth, &cssHeight);
    const double ratio = PixelRatio();
    return MakeLParam(static_cast<int>(std::lround(cssWidth * ratio)),
                      static_cast<int>(std::lround(cssHeight * ratio)));
}

// The drawing buffer takes its new size only when the window handles the resize, so that until then the
// page keeps showing the last frame (scaled), as it does before the show starts.
void ResizeCanvas(intptr_t size) {
    emscripten_set_canvas_element_size(kCanvas, LowWord(size), HighWord(size));
}

// KeyboardEvent.keyCode is the Win32 virtual-key code for the keys the show knows (Escape is 27).
EM_BOOL OnKey(int type, const EmscriptenKeyboardEvent* event, void*) {
    Post(type == EMSCRIPTEN_EVENT_KEYDOWN ? WM_KEYDOWN : WM_KEYUP, event->keyCode, 0);
    return EM_FALSE;  // the page's own keys (full screen) see the event too
}

EM_BOOL OnMouse(int type, const EmscriptenMouseEvent* event, void*) {
    const double ratio = PixelRatio();
    const intptr_t position = MakeLParam(static_cast<int>(std::lround(event->targetX * ratio)),
                                         static_cast<int>(std::lround(event->targetY * ratio)));
    uint32_t message = 0;
    if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) {
        message = WM_MOUSEMOVE;
    } else {
        const bool down = type == EMSCRIPTEN_EVENT_MOUSEDOWN;
        switch (event->button) {
            case 0:
                message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
                break;
            case 1:
                message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
                break;
            case 2:
                message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
                break;
            default:
                return EM_FALSE;
        }
    }
    Post(message, 0, position);
    return EM_FALSE;
}

EM_BOOL OnResize(int, const EmscriptenUiEvent*, void*) {
    Post(WM_SIZE, 0, CanvasSize());
    return EM_FALSE;
}

}  // namespace

// WebGL has no matrix stack, and nothing drawn here reads one (the vertex shader passes positions through):
// the routing's reset of the current matrix does nothing, where emscripten's own stub would throw.
extern "C" void glLoadIdentity() {}

void* GetGLProcAddress(const char* name) {
    return emscripten_webgl_get_proc_address(name);
}

// Shown on the page over the canvas, and written to the console.
void ReportFailure(const char* text, const char* reason) {
    WriteFailure(text, reason);
    const std::string shown = FailureLine(text, reason);
    EM_ASM(
        {
            if (Module.reportFailure) Module.reportFailure(UTF8ToString($0));
        },
        shown.c_str());
}

void platform::Dispatch(const Message& message) {
    if (message.message == WM_SIZE) ResizeCanvas(message.lParam);
    WindowProc(static_cast<CoreWindow_web*>(message.window), message);
}

CoreWindow_web::CoreWindow_web(const WindowOptions&) {
    emscripten_set_window_title(kTitle);
    // Sized before the context is made, which then makes its drawing buffer once, at this size.
    const intptr_t size = CanvasSize();
    ResizeCanvas(size);
    if (!SetupGL()) return;
    if (FirstWindow == nullptr) FirstWindow = this;
    emscripten_set_keydown_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
    emscripten_set_keyup_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, OnKey);
    emscripten_set_mousedown_callback(kCanvas, nullptr, EM_FALSE, OnMouse);
    emscripten_set_mouseup_callback(kCanvas, nullptr, EM_FALSE, OnMouse);
    emscripten_set_mousemove_callback(kCanvas, nullptr, EM_FALSE, OnMouse);
    emscripten_set_resize_callback(EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_FALSE, ::OnResize);
    width = LowWord(size);
    height = HighWord(size);
    glViewport(0, 0, width, height);
    CoreWindow_web::OnResize(width, height);
}

// The drawing buffer has no alpha (the page behind never shows through) and no multisampling (every pixel
// is its fragment shader's), with depth and stencil as the desktop's pixel format asks. Extensions are
// enabled where they are used, not all at once here: each costs the browser a trip to its GPU process.
bool CoreWindow_web::SetupGL() {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.alpha = EM_FALSE;
    attributes.antialias = EM_FALSE;
    attributes.depth = EM_TRUE;
    attributes.stencil = EM_TRUE;
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.enableExtensionsByDefault = EM_FALSE;
    const char* failure = nullptr;
    const char* reason = nullptr;
    context = emscripten_webgl_create_context(kCanvas, &attributes);
    if (context <= 0) {
        context = 0;
        failure = "Can't Create A GL Rendering Context.";
        reason = "this show needs WebGL 2, which this browser does not offer or has turned off";
    } else if (emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        failure = "Can't Activate The GL Rendering Context.";
    }
    if (failure != nullptr) {
        if (context != 0) emscripten_webgl_destroy_context(context);
        context = 0;
        ReportFailure(failure, reason);
        return false;
    }
    gl::PrepareFullScreenRect();
    return true;
}

void CoreWindow_web::MakeCurrent() {
    if (emscripten_webgl_get_current_context() != context) emscripten_webgl_make_context_current(context);
}

void CoreWindow_web::Activate(bool activate) {
    if (activate)
        EM_ASM({
            if (Module.canvas) Module.canvas.focus();
        });
}
