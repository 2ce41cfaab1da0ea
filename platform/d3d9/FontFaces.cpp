#include "FontFaces.h"

#include "platform/base/Utf.h"

namespace plat {

std::string fontconfig_family(std::u16string_view face)
{
    // The Chinese faces (黑体 SimHei, 宋体 SimSun) both go to the one CJK face installed.
    static const struct {
        std::u16string_view face;
        const char* family;
    } table[] = {
        {u"\u9ed1\u4f53", "WenQuanYi Micro Hei"}, {u"SimHei", "WenQuanYi Micro Hei"},
        {u"\u5b8b\u4f53", "WenQuanYi Micro Hei"}, {u"SimSun", "WenQuanYi Micro Hei"},
        {u"Arial", "Liberation Sans"},            {u"Tahoma", "DejaVu Sans"},
    };
    for (const auto& entry : table)
        if (entry.face == face) return entry.family;
    return utf16_to_utf8(face);
}

}
