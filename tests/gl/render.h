// Drawing a fragment text headlessly, the way a scene draws it, and reading the pixels back.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/egl/headless_gl.h"
#include "platform/gl.h"
#include "scenes/scene.h"

// The text with the one occurrence of `from` replaced by `to`, for probes built from a real shader text;
// fails the test when `from` is missing.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << "missing: " << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

struct Uniforms {
    double time = 0.0;
    std::array<float, 3> val = {0.0f, 0.0f, 0.0f};
};

// A headless framebuffer of one size and format; draws fragment texts through the scenes' own build and
// render path (shared vertex shader, full-screen rectangle, the uniform contract).
class ShaderCanvas {
public:
    ShaderCanvas(int width, int height, HeadlessGL::Format format = HeadlessGL::Format::RGBA32F) {
        std::string error;
        gl_ = HeadlessGL::Create(width, height, format, error);
        if (gl_ == nullptr) ADD_FAILURE() << error;
    }
    bool Ready() const { return gl_ != nullptr; }
    int Width() const { return gl_->Width(); }
    int Height() const { return gl_->Height(); }

    // Compiles `fragment` (failures are reported by buildProgram on standard error and fail the test).
    uint32_t Build(const char* fragment) {
        testing::internal::CaptureStderr();
        const uint32_t program = buildProgram("test", fragment);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(log, "");
        return program;
    }
    // Draws over a cleared framebuffer; returns RGBA per pixel, bottom row first.
    std::vector<float> DrawFloat(uint32_t program, const Uniforms& u) {
        Draw(program, u);
        return gl_->ReadRGBA32F();
    }
    std::vector<uint8_t> Draw8(uint32_t program, const Uniforms& u) {
        Draw(program, u);
        return gl_->ReadRGBA8();
    }

private:
    void Draw(uint32_t program, const Uniforms& u) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        RenderProgram(program, static_cast<float>(gl_->Width()), static_cast<float>(gl_->Height()), u.time,
                      u.val.data());
    }
    std::unique_ptr<HeadlessGL> gl_;
};
