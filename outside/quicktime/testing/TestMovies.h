#pragma once
// The QuickTime test movies (tests/make-movies.sh), made on first use by
// ffmpeg and kept in the build folder.

#include <cstdlib>
#include <string>

namespace qt {

// The path of a made movie; empty when ffmpeg failed.
inline std::string test_movie(const std::string& name)
{
    const std::string command = std::string("'") + QT_MOVIES_SCRIPT + "' '" + QT_MOVIES_DIR + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    return std::string(QT_MOVIES_DIR) + "/" + name;
}

}
