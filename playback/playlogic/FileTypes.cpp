#include "playback/playlogic/FileTypes.h"

#include <array>

namespace UI {
namespace {

struct Extension {
    std::u16string_view text;
    int kind;
};

constexpr std::array<Extension, 11> extensions{{
    {u".mpg", 1}, {u".mpeg", 1}, {u".mp4", 2}, {u".rm", 3}, {u".rmvb", 3}, {u".wmv", 4},
    {u".avi", 5}, {u".flv", 6}, {u".asf", 7}, {u".3gpp", 8}, {u".mov", 9},
}};

constexpr std::array<const char*, 10> labels{"UNK", "MPG", "MP4", "RM", "WMV", "AVI", "FLV", "ASF", "3GP", "MOV"};

}

int FileKindOf(std::u16string_view path)
{
    const std::size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos) return 0;
    const std::u16string_view extension = path.substr(dot);
    for (const Extension& e : extensions)
        if (e.text == extension) return e.kind;
    return 0;
}

const char* FileKindLabel(int kind)
{
    return kind >= 0 && kind < static_cast<int>(labels.size()) ? labels[static_cast<std::size_t>(kind)] : labels[0];
}

}
