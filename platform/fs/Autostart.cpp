#include "Autostart.h"

#include "Files.h"
#include "Folders.h"

#include <cerrno>
#include <cstdio>
#include <string_view>

namespace plat {

namespace {

// An Exec argument in double quotes; inside them ", `, $ and \ take a backslash.
std::string quoted_argument(std::string_view argument)
{
    std::string text = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') text += '\\';
        text += c;
    }
    return text + '"';
}

// Exec's own layer: "%" starts a field code, so a literal one is doubled.
std::string without_field_codes(std::string_view exec)
{
    std::string text;
    for (const char c : exec) {
        text += c;
        if (c == '%') text += '%';
    }
    return text;
}

// The string layer of every value, read before the quoting above.
std::string escaped_value(std::string_view value)
{
    std::string text;
    for (const char c : value) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '\n': text += "\\n"; break;
        case '\t': text += "\\t"; break;
        case '\r': text += "\\r"; break;
        default: text += c;
        }
    }
    return text;
}

}

std::optional<std::string> autostart_entry_path()
{
    const std::optional<std::string> config = config_folder();
    if (!config) return std::nullopt;
    return join_path(join_path(*config, "autostart"), "strimo.desktop");
}

int write_autostart_entry(const std::string& program)
{
    const std::optional<std::string> path = autostart_entry_path();
    if (!path || !create_folder_tree(path->substr(0, path->rfind('/')))) return ENOENT;
    const std::string exec = without_field_codes(quoted_argument(program) + " /ToTrayIcon");
    const std::string entry = "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Strimo\n"
                              "Exec=" + escaped_value(exec) + "\n"
                              "Terminal=false\n";
    return write_file_atomic(*path, entry);
}

int remove_autostart_entry()
{
    const std::optional<std::string> path = autostart_entry_path();
    if (!path) return 0;
    if (std::remove(path->c_str()) == 0 || errno == ENOENT) return 0;
    return errno;
}

}
