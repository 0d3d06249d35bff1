// A current OpenGL compatibility context without a window: EGL surfaceless on Mesa, drawing into an offscreen
// framebuffer of colour and depth-stencil. Tests, the null platform and the capture tool draw through it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class HeadlessGL {
public:
    enum class Format {
        RGBA8,    // 8-bit channels: values clamped to [0, 1] as a window shows them
        RGBA32F,  // float channels: values written as the shader computed them
    };

    // Makes a context current on the calling thread with a framebuffer of the given size bound for drawing
    // and the viewport covering it. Null, with the reason in `error`, when no context or framebuffer can be
    // had.
    static std::unique_ptr<HeadlessGL> Create(int width, int height, Format format, std::string& error);
    ~HeadlessGL();
    HeadlessGL(const HeadlessGL&) = delete;
    HeadlessGL& operator=(const HeadlessGL&) = delete;

    int Width() const { return width_; }
    int Height() const { return height_; }
    // The largest width or height a framebuffer may have on this context.
    int MaxSize() const { return maxSize_; }
    // Gives the framebuffer a new size (its contents are lost) and sets the viewport to it; false if refused.
    bool Resize(int width, int height);

    // The framebuffer's pixels, bottom row first (as OpenGL numbers them), 4 values a pixel.
    std::vector<uint8_t> ReadRGBA8() const;
    std::vector<float> ReadRGBA32F() const;
    // Same, into a caller's buffer of Width() x Height() x 4 bytes.
    void ReadRGBA8(uint8_t* pixels) const;

private:
    HeadlessGL() = default;
    bool Attach(int width, int height);

    void* display_ = nullptr;
    void* context_ = nullptr;
    Format format_ = Format::RGBA8;
    unsigned framebuffer_ = 0, colour_ = 0, depthStencil_ = 0;
    int width_ = 0, height_ = 0, maxSize_ = 0;
};
