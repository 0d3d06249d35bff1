#include "tools/capture/png.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// What stopped libpng: its own words, and the system's reason when there is one.
struct PngFailure {
    std::string text;
    int error = 0;
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp text) {
    auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png));
    failure->error = errno;
    failure->text = text;
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

bool WriteRows(FILE* file, const uint8_t* rgb, int width, int height, PngFailure& failure) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, OnPngError, OnPngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, rgb + static_cast<size_t>(y) * width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string& error) {
    const std::string partial = path + ".part";
    FILE* file = std::fopen(partial.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    PngFailure failure;
    errno = 0;  // so that a complaint of libpng's own carries no stale reason
    const bool written = WriteRows(file, rgb, width, height, failure);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(partial.c_str(), path.c_str()) != 0) {
        if (!written) {
            error = path +
                    ": cannot write the PNG (libpng: " + (failure.text.empty() ? "no memory" : failure.text) +
                    (failure.error != 0 ? ", " + std::string(std::strerror(failure.error)) : "") + ")";
        } else {
            error = path + ": " + std::strerror(errno);
        }
        std::remove(partial.c_str());
        return false;
    }
    return true;
}
