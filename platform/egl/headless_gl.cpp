#include "platform/egl/headless_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <algorithm>
#include <cstdio>

#include "platform/gl.h"

void* GetGLProcAddress(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

namespace {

std::string EglError(const char* what) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (EGL error 0x%04X)", what,
                  static_cast<unsigned>(eglGetError()));
    return text;
}

}  // namespace

std::unique_ptr<HeadlessGL> HeadlessGL::Create(int width, int height, Format format, std::string& error) {
    std::unique_ptr<HeadlessGL> gl(new HeadlessGL);
    gl->format_ = format;
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        error = EglError("no surfaceless EGL display: eglGetPlatformDisplay");
        return nullptr;
    }
    if (!eglInitialize(display, nullptr, nullptr)) {
        error = EglError("eglInitialize");
        return nullptr;
    }
    gl->display_ = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        error = EglError("eglBindAPI(OpenGL)");
        return nullptr;
    }
    // Without an explicit surface type the surfaceless platform matches no config at all.
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
        error = "no EGL config renders OpenGL on the surfaceless display";
        return nullptr;
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        error = EglError("eglCreateContext(compatibility profile)");
        return nullptr;
    }
    gl->context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        error = EglError("eglMakeCurrent");
        return nullptr;
    }
    if (const char* missing = gl::MissingShaderFunction()) {
        error = std::string("the OpenGL context lacks ") + missing;
        return nullptr;
    }
    GLint maxRenderbuffer = 0, maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxRenderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    gl->maxSize_ = std::min({maxRenderbuffer, maxViewport[0], maxViewport[1]});
    if (!gl->Attach(width, height)) {
        error = "cannot make a " + std::to_string(width) + "x" + std::to_string(height) + " framebuffer";
        return nullptr;
    }
    return gl;
}

HeadlessGL::~HeadlessGL() {
    if (context_ != nullptr) {
        if (framebuffer_ != 0) {
            gl::Proc<PFNGLDELETEFRAMEBUFFERSPROC>("glDeleteFramebuffers")(1, &framebuffer_);
            const GLuint buffers[] = {colour_, depthStencil_};
            gl::Proc<PFNGLDELETERENDERBUFFERSPROC>("glDeleteRenderbuffers")(2, buffers);
        }
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display_, context_);
    }
    // The display stays initialised: it is one for the whole process, and other contexts may live on it.
}

bool HeadlessGL::Resize(int width, int height) {
    return Attach(width, height);
}

bool HeadlessGL::Attach(int width, int height) {
    if (width < 1 || height < 1 || width > maxSize_ || height > maxSize_) return false;
    if (framebuffer_ == 0) {
        gl::Proc<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers")(1, &framebuffer_);
        gl::Proc<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers")(1, &colour_);
        gl::Proc<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers")(1, &depthStencil_);
    }
    const auto bindRenderbuffer = gl::Proc<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    const auto storage = gl::Proc<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    const auto attach = gl::Proc<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    gl::Proc<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer")(GL_FRAMEBUFFER, framebuffer_);
    bindRenderbuffer(GL_RENDERBUFFER, colour_);
    storage(GL_RENDERBUFFER, format_ == Format::RGBA8 ? GL_RGBA8 : GL_RGBA32F, width, height);
    attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    bindRenderbuffer(GL_RENDERBUFFER, depthStencil_);
    storage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    attach(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthStencil_);
    if (gl::Proc<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus")(GL_FRAMEBUFFER) !=
        GL_FRAMEBUFFER_COMPLETE) {
        return false;
    }
    width_ = width;
    height_ = height;
    glViewport(0, 0, width, height);
    return true;
}

std::vector<uint8_t> HeadlessGL::ReadRGBA8() const {
    std::vector<uint8_t> pixels(static_cast<size_t>(width_) * height_ * 4);
    ReadRGBA8(pixels.data());
    return pixels;
}

void HeadlessGL::ReadRGBA8(uint8_t* pixels) const {
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
}

std::vector<float> HeadlessGL::ReadRGBA32F() const {
    std::vector<float> pixels(static_cast<size_t>(width_) * height_ * 4);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_FLOAT, pixels.data());
    return pixels;
}
