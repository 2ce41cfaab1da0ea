#include "core/app/CommandLine.h"

#include "platform/base/Utf.h"

#include <filesystem>
#include <system_error>

std::u16string command_line_from(int argc, const char* const* argv)
{
    std::u16string line;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        std::error_code error;
        if (!argument.empty() && std::filesystem::is_regular_file(argument, error))
            argument = '"' + std::filesystem::absolute(argument, error).lexically_normal().string() + '"';
        if (!line.empty())
            line += u' ';
        line += plat::utf8_to_utf16(argument);
    }
    return line;
}
