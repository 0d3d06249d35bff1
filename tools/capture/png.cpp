#include "tools/capture/png.h"

#include <png.h>

#include <cerrno>
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

bool WritePng(PartialFile& partial, const uint8_t* rgb, int width, int height, std::string& error) {
    PngFailure failure;
    errno = 0;  // so that a complaint of libpng's own carries no stale reason
    if (!WriteRows(partial.File(), rgb, width, height, failure)) {
        error = partial.Path() +
                ": cannot write the PNG (libpng: " + (failure.text.empty() ? "no memory" : failure.text) +
                (failure.error != 0 ? ", " + std::string(std::strerror(failure.error)) : "") + ")";
        return false;
    }
    if (partial.Commit(error)) return true;
    error = partial.Path() + ": " + error;
    return false;
}

bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string& error) {
    const std::unique_ptr<PartialFile> partial = PartialFile::Create(path, error);
    if (partial == nullptr) {
        error = path + ": " + error;
        return false;
    }
    return WritePng(*partial, rgb, width, height, error);
}
