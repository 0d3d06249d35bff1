#include "scenes/frame_target.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/gl.h"
#include "scenes/scene.h"
#include "shaders/shader_texts.h"
#ifdef __EMSCRIPTEN__
#include <emscripten/html5.h>
#endif

namespace {

constexpr GLenum kTimeElapsed = 0x88BF;  // GL_TIME_ELAPSED, and the browser's TIME_ELAPSED_EXT

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Whether the current context times spans of commands on the GPU.
bool HasGpuTimer() {
#ifdef __EMSCRIPTEN__
    return emscripten_webgl_enable_extension(emscripten_webgl_get_current_context(),
                                             "EXT_disjoint_timer_query_webgl2");
#else
    int major = 0, minor = 0;
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (version != nullptr && std::sscanf(version, "%d.%d", &major, &minor) == 2 &&
        (major > 3 || (major == 3 && minor >= 3)))
        return true;
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    return extensions != nullptr && std::strstr(extensions, "GL_ARB_timer_query") != nullptr;
#endif
}

}  // namespace

FrameTarget::Size FrameTarget::Begin(int width, int height, double scale) {
    width_ = width;
    height_ = height;
    offscreen_ = scale < 1.0 && width > 0 && height > 0;
    if (!offscreen_) {
        glViewport(0, 0, width, height);
        return {width, height};
    }
    const Size size{std::max(1, static_cast<int>(std::lround(width * scale))),
                    std::max(1, static_cast<int>(std::lround(height * scale)))};
    GLint window = 0;  // the window's own framebuffer: 0, or the one a headless context draws into
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &window);
    windowFramebuffer_ = static_cast<uint32_t>(window);
    if (framebuffer_ == 0) Prepare();
    glBindTexture(GL_TEXTURE_2D, texture_);
    if (size.width != targetWidth_ || size.height != targetHeight_) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, size.width, size.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        targetWidth_ = size.width;
        targetHeight_ = size.height;
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glViewport(0, 0, size.width, size.height);
    return size;
}

void FrameTarget::End() {
    if (!offscreen_) return;
    gl::BindFramebuffer(GL_FRAMEBUFFER, windowFramebuffer_);
    glViewport(0, 0, width_, height_);
    gl::UseProgram(program_);
    gl::ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture_);
    gl::Uniform1i(gl::GetUniformLocation(program_, "frame"), 0);
    gl::Uniform2f(gl::GetUniformLocation(program_, "resolution"), static_cast<float>(width_),
                  static_cast<float>(height_));
    gl::DrawFullScreenRect();
    glBindTexture(GL_TEXTURE_2D, 0);
    gl::UseProgram(0);
}

void FrameTarget::Prepare() {
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    gl::GenFramebuffers(1, &framebuffer);
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl::FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    texture_ = texture;
    framebuffer_ = framebuffer;
    targetWidth_ = targetHeight_ = 1;
    program_ = buildProgram("Upscale", shader_text::Upscale);
}

FrameTimer::FrameTimer() : gpuTimer_(HasGpuTimer()) {
    if (!gpuTimer_) return;
    GLuint queries[kFrames * 2];
    gl::GenQueries(kFrames * 2, queries);
    for (int i = 0; i < kFrames; ++i) {
        spans_[i].scene = queries[i * 2];
        spans_[i].pass = queries[i * 2 + 1];
    }
}

void FrameTimer::Begin(double scale) {
    if (!gpuTimer_) {
        startSeconds_ = Now();
        finished_.scale = scale;
        measuring_ = true;
        return;
    }
    Span& span = spans_[next_];
    measuring_ = !span.pending;  // all in flight: this frame goes unmeasured rather than wait
    if (!measuring_) return;
    span.scale = scale;
    gl::BeginQuery(kTimeElapsed, span.scene);
}

void FrameTimer::Split() {
    if (!measuring_) return;
    if (!gpuTimer_) {
        glFinish();
        splitSeconds_ = Now();
        return;
    }
    gl::EndQuery(kTimeElapsed);
    gl::BeginQuery(kTimeElapsed, spans_[next_].pass);
}

void FrameTimer::End(bool counts) {
    if (!measuring_) return;
    measuring_ = false;
    if (!gpuTimer_) {
        glFinish();
        finished_.sceneSeconds = counts ? splitSeconds_ - startSeconds_ : -1.0;
        finished_.passSeconds = Now() - splitSeconds_;
        return;
    }
    gl::EndQuery(kTimeElapsed);
    spans_[next_].pending = true;
    spans_[next_].counts = counts;
    next_ = (next_ + 1) % kFrames;
}

bool FrameTimer::Read(Times& times) {
    if (!gpuTimer_) {
        if (finished_.sceneSeconds < 0.0) return false;
        times = finished_;
        finished_.sceneSeconds = -1.0;
        return true;
    }
    // The oldest span in flight: the queries finish in the order they were issued.
    for (int k = 0; k < kFrames; ++k) {
        Span& span = spans_[(next_ + k) % kFrames];
        if (!span.pending) continue;
        GLuint available = 0, scene = 0, pass = 0;
        gl::GetQueryObjectuiv(span.pass, GL_QUERY_RESULT_AVAILABLE, &available);
        if (!available) return false;
        gl::GetQueryObjectuiv(span.scene, GL_QUERY_RESULT, &scene);
        gl::GetQueryObjectuiv(span.pass, GL_QUERY_RESULT, &pass);
        span.pending = false;
        if (!span.counts) continue;
#ifdef __EMSCRIPTEN__
        constexpr GLenum kGpuDisjoint = 0x8FBB;  // GPU_DISJOINT_EXT: a timer reading was spoilt
        GLint disjoint = 0;
        glGetIntegerv(kGpuDisjoint, &disjoint);
        if (disjoint) return false;
#endif
        times = {span.scale, scene * 1e-9, pass * 1e-9};
        return true;
    }
    return false;
}
