#pragma once

#include <cstdint>
#include <string>

#include "tools/partial_file.h"

// Writes an 8-bit RGB PNG, top row first, into `partial`, which then becomes its final file. False, with the
// reason in `error` (the final file named), when it cannot be written.
bool WritePng(PartialFile& partial, const uint8_t* rgb, int width, int height, std::string& error);
// The same through a partial file beside `path` made for it.
bool WritePng(const std::string& path, const uint8_t* rgb, int width, int height, std::string& error);
