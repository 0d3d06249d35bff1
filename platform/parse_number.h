// Numbers and sizes as the programs' command lines write them: the whole text, nothing before or after.
#pragma once

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

inline bool ParseDouble(std::string_view text, double& value) {
#if __cpp_lib_to_chars >= 201611L
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
#else  // a standard library without from_chars for floating point (the browser build's)
    const std::string copy(text);
    if (copy.empty() || std::isspace(static_cast<unsigned char>(copy[0]))) return false;
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size() && std::isfinite(value);
#endif
}

inline bool ParseInt(std::string_view text, int& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// WxH, both whole pixels above 0.
inline bool ParseSize(std::string_view text, int& width, int& height) {
    const size_t x = text.find('x');
    return x != std::string_view::npos && ParseInt(text.substr(0, x), width) &&
           ParseInt(text.substr(x + 1), height) && width > 0 && height > 0;
}
