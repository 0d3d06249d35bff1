#pragma once

#include <cstdint>
#include <string>

// Writes an 8-bit RGB PNG, top row first, through a temporary file beside `path` that becomes `path` only
// once complete. False, with the reason in `error`, when it cannot be written.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string& error);
