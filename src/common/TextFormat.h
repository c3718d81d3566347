#pragma once
// printf-style formatting into a std::string, for the fixed texts the operator sees.

#include <cstdio>
#include <string>

namespace vexar {

template <typename... Args> std::string FormatText(const char* format, Args... args) {
    char text[256];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

} // namespace vexar
