#include "platform/base/Utf.h"

#include <gtest/gtest.h>

TEST(Utf, RoundTripsEveryPlane)
{
    const std::string text = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x8E\xAC";   // a, é, 中, U+1F3AC
    std::u16string wide = plat::utf8_to_utf16(text);
    EXPECT_EQ(wide, (std::u16string{u'a', 0xE9, 0x4E2D, 0xD83C, 0xDFAC}));
    EXPECT_EQ(plat::utf16_to_utf8(wide), text);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters)
{
    const struct { std::string in; std::u16string out; } cases[] = {
        {"\xFF", u"\xFFFD"},
        {"\xC3", u"\xFFFD"},                       // truncated sequence
        {"\xC0\xAF", u"\xFFFD"},                   // overlong '/'
        {"\xED\xA0\x80", u"\xFFFD"},               // encoded surrogate
        {"a\x80" "b", u"a\xFFFD" "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(plat::utf8_to_utf16(c.in), c.out);
    }
    EXPECT_EQ(plat::utf16_to_utf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");   // lone surrogate
}

TEST(Utf, WindowsConversionFunctionsFollowTheirContract)
{
    EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "h\xC3\xA9", -1, nullptr, 0), 3);   // terminator counted
    WCHAR wide[3];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, wide, 3), 3);
    EXPECT_EQ(wide[1], 0xE9);
    EXPECT_EQ(wide[2], 0);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "hello", 5, wide, 3), 0);   // too small
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "x", 1, wide, 3), 0);          // unsupported page

    char narrow[8];
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\x00E9", 1, narrow, 8, nullptr, nullptr), 2);
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\x00E9", -1, nullptr, 0, nullptr, nullptr), 3);
}
