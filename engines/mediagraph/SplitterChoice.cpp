#include "engines/mediagraph/SplitterChoice.h"

#include <initializer_list>

namespace mediagraph {

namespace {

struct Row {
    std::initializer_list<std::u16string_view> names;
    std::initializer_list<SplitterKind> kinds;
};

// Tested as substrings anywhere in the path, row by row: the first row with a
// match decides, so a path holding ".mp4" and ".avi" gets the ".mp4" row.
const Row rows[] = {
    {{u".corva", u".Corva", u".vod", u".ads"}, {KIND_DEMUX}},
    {{u".flv", u".FLV", u".rm", u".rmvb", u".RM", u".RMVB", u".mp4", u".MP4", u".3gp", u".3GP", u".mkv", u".MKV", u".mov",
      u".MOV", u".qt", u".QT"},
     {KIND_KVR}},
    {{u".avi", u".AVI"}, {KIND_AVI, KIND_ASF_VIDEO}},
    {{u".wmv", u".WMV", u".asf", u".ASF"}, {KIND_ASF_VIDEO}},
    {{u".mpg", u".MPG", u".mpeg", u".MPEG"}, {KIND_MPEG1, KIND_MPEG2}},
    {{u".vob", u".VOB"}, {KIND_MPEG2}},
    {{u".mp3", u".MP3", u".mp2", u".MP2", u".mp1", u".MP1"}, {KIND_MPEG_AUDIO}},
    {{u".wma", u".WMA"}, {KIND_ASF_AUDIO}},
    {{u".wav", u".WAV"}, {KIND_WAVE}},
};

bool contains_any(std::u16string_view path, std::initializer_list<std::u16string_view> names)
{
    for (auto name : names)
        if (path.find(name) != std::u16string_view::npos) return true;
    return false;
}

}

std::span<const SplitterKind> splitters_for_path(std::u16string_view path)
{
    for (const Row& row : rows)
        if (contains_any(path, row.names)) return {row.kinds.begin(), row.kinds.size()};
    return {};
}

bool is_quicktime_path(std::u16string_view path)
{
    return contains_any(path, {u".mov", u".MOV", u".qt", u".QT"});
}

}
