#pragma once
// printf-style formatting for the downloader's fixed debug and log texts.

#include <string>

std::string format_text(const char* format, ...) __attribute__((format(printf, 1, 2)));
