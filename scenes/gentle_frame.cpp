#include "scenes/gentle_frame.h"

#include <algorithm>
#include <cmath>

#include "platform/gl.h"
#include "shaders/shader_texts.h"

namespace {

// The levels' time constants, in seconds: a stroke's rise is followed over a quarter of a second, its fall
// over half a second, so that the sixteenth notes' pulse barely moves them.
constexpr double kAttack = 0.25, kRelease = 0.5;
// The most a pixel's relative luminance and red's measure (R - G - B where above 0, linear) may change in a
// second: seven changes of 0.1 of luminance, or of 20 / 320 of red (the least that make more than three
// flashes), take longer than a second. At 1 a second the show would still pass, but only as measured, with
// 22 % of a region flashing at 148 s (Scene5).
constexpr double kLuminancePerSecond = 0.6, kRedPerSecond = 0.4;

}  // namespace

std::array<float, 3> GentleLevels::Follow(double time, const std::array<float, 3>& levels) {
    const double elapsed = started_ ? std::max(time - time_, 0.0) : 0.0;
    if (!started_) levels_ = levels;
    started_ = true;
    time_ = time;
    for (size_t i = 0; i < levels.size(); ++i) {
        const double constant = levels[i] > levels_[i] ? kAttack : kRelease;
        levels_[i] += static_cast<float>((levels[i] - levels_[i]) * -std::expm1(-elapsed / constant));
    }
    return levels_;
}

const char* GentleFrame::MissingFunction() {
    for (const char* name : {"glGenFramebuffers", "glBindFramebuffer", "glFramebufferTexture2D",
                             "glActiveTexture", "glUniform1i"}) {
        if (GetGLProcAddress(name) == nullptr) return name;
    }
    return nullptr;
}

uint32_t GentleFrame::Begin(int width, int height) {
    GLint bound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    if (program_ == 0) {
        program_ = buildProgram("Gentle", shader_text::Gentle);
        glGenTextures(3, textures_);
        gl::GenFramebuffers(3, framebuffers_);
    }
    if (width != width_ || height != height_) {
        for (int i = 0; i < 3; ++i) {
            glBindTexture(GL_TEXTURE_2D, textures_[i]);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
            gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffers_[i]);
            gl::FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, textures_[i], 0);
        }
        glBindTexture(GL_TEXTURE_2D, 0);
        width_ = width;
        height_ = height;
        fresh_ = true;
    }
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffers_[0]);
    return static_cast<uint32_t>(bound);
}

void GentleFrame::Finish(double time, uint32_t framebuffer) {
    // The first picture at a size is taken whole; after it, the change allowed in the music time elapsed.
    const double elapsed = fresh_ ? 1e6 : std::max(time - time_, 0.0);
    fresh_ = false;
    time_ = time;
    const int next = 3 - shown_;
    gl::UseProgram(program_);
    gl::Uniform1i(gl::GetUniformLocation(program_, "scene"), 0);
    gl::Uniform1i(gl::GetUniformLocation(program_, "shown"), 1);
    gl::Uniform2f(gl::GetUniformLocation(program_, "resolution"), static_cast<float>(width_),
                  static_cast<float>(height_));
    gl::Uniform1f(gl::GetUniformLocation(program_, "limit"),
                  static_cast<float>(kLuminancePerSecond * elapsed));
    gl::Uniform1f(gl::GetUniformLocation(program_, "redLimit"), static_cast<float>(kRedPerSecond * elapsed));
    gl::ActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, textures_[shown_]);
    gl::ActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textures_[0]);
    // Once into the picture kept for the next frame, once into the caller's framebuffer.
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffers_[next]);
    gl::DrawFullScreenRect();
    gl::BindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    gl::DrawFullScreenRect();
    glBindTexture(GL_TEXTURE_2D, 0);
    gl::ActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_2D, 0);
    gl::ActiveTexture(GL_TEXTURE0);
    gl::UseProgram(0);
    shown_ = next;
}
