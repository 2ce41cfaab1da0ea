// Text from feeds, registry values and other programs: conversions between
// UTF-8, UTF-16 and named character sets take any bytes, and UTF-16 that
// came from UTF-8 goes back to the same UTF-16.

#include "components/common/libutil/TextEncoders.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::u16string wide;
    std::string narrow;
    if (LibUtil::Utf8ToWide(text.c_str(), wide) && LibUtil::WideToUtf8(wide.c_str(), narrow)) {
        std::u16string again;
        if (!LibUtil::Utf8ToWide(narrow.c_str(), again) || again != wide)
            std::abort();
    }
    static const char* const sets[] = {"UTF-8", "ISO-8859-1", "WINDOWS-1252", "GB2312", "SHIFT_JIS", "UTF-16LE"};
    std::string converted;
    LibUtil::ConvertCharset(text, "UTF-8", sets[size % 6], converted);
    LibUtil::UrlEncode(text, converted, "GB2312", "UTF-8");
    return 0;
}
