// Numbers and sizes as the programs' command lines write them: the whole text, nothing before or after.
#pragma once

#include <charconv>
#include <cmath>
#include <string_view>

inline bool ParseDouble(std::string_view text, double& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(value);
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
