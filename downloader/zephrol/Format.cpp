#include "Format.h"

#include <cstdarg>
#include <algorithm>
#include <cstdio>

std::string format_text(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) return {};
    return std::string(text, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof text - 1));
}
