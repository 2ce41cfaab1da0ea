#include "playback/common/NameClean.h"

#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"

namespace playback {
namespace {

constexpr std::size_t name_max_bytes = 255;   // NAME_MAX of the usual Linux file systems
constexpr std::u16string_view refused = u"\\/\"*?:<>|";

bool is_high_surrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-8 bytes of the UTF-16 unit (or pair) starting at i; `units` gets its length.
std::size_t utf8_bytes_at(std::u16string_view text, std::size_t i, std::size_t& units)
{
    const char16_t c = text[i];
    units = 1;
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (is_high_surrogate(c) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
        units = 2;
        return 4;
    }
    return 3;   // other units, lone surrogates included (U+FFFD is three bytes too)
}

// The longest start of `name` whose UTF-8 form fits `budget` bytes, ending
// between characters.
std::u16string_view cut_to_bytes(std::u16string_view name, std::size_t budget)
{
    std::size_t used = 0;
    std::size_t i = 0;
    while (i < name.size()) {
        std::size_t units = 0;
        const std::size_t bytes = utf8_bytes_at(name, i, units);
        if (used + bytes > budget) break;
        used += bytes;
        i += units;
    }
    return name.substr(0, i);
}

}

std::u16string clean_title(std::u16string_view title)
{
    std::u16string out;
    out.reserve(title.size());
    for (const char16_t c : title)
        if (c != u'\0' && refused.find(c) == std::u16string_view::npos) out.push_back(c);
    return out;
}

std::string titled_file_path(std::string_view folder, std::string_view title_utf8, std::string_view extension)
{
    const std::u16string name = clean_title(plat::utf8_to_utf16(title_utf8));
    const std::size_t budget = extension.size() < name_max_bytes ? name_max_bytes - extension.size() : 0;
    std::string file = plat::utf16_to_utf8(cut_to_bytes(name, budget));
    file += extension;
    return plat::join_path(folder, file);
}

}
