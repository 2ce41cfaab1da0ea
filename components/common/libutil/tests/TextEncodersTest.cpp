#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/TextEncoders.h"

#include <gtest/gtest.h>

using namespace LibUtil;

TEST(WideToUtf8, WritesOneToFourBytesAndKeepsLoneSurrogates)
{
    const struct { std::u16string wide; std::string utf8; } cases[] = {
        {u"A", "A"},
        {u"\u00E9", "\xC3\xA9"},
        {u"\u4E2D\u6587", "\xE4\xB8\xAD\xE6\x96\x87"},
        {u"\U0001F600", "\xF0\x9F\x98\x80"},            // a pair becomes one four-byte sequence
        {u"x\U0010FFFFy", "x\xF4\x8F\xBF\xBFy"},
        {std::u16string(1, u'\xD800'), "\xED\xA0\x80"},  // lone high surrogate
        {std::u16string(1, u'\xDC00'), "\xED\xB0\x80"},  // lone low surrogate
        {std::u16string{u'\xDC00', u'\xD800'}, "\xED\xB0\x80\xED\xA0\x80"},   // the wrong order is no pair
        {u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::string out = "stale";
        ASSERT_TRUE(WideToUtf8(c.wide.c_str(), out));
        EXPECT_EQ(out, c.utf8);
    }
    std::string out;
    EXPECT_FALSE(WideToUtf8(nullptr, out));
}

TEST(Utf8ToWide, ReadsBothFormsOfTextOutsideTheBasicPlane)
{
    const struct { std::string utf8; std::u16string wide; } cases[] = {
        {"A\xC3\xA9\xE4\xB8\xAD", u"A\u00E9\u4E2D"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
        {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"},     // the three-byte surrogate form
        {"\xED\xA0\x80", std::u16string(1, u'\xD800')},
        {"a\x80" "b\xFF" "c", u"abc"},                     // bytes that start nothing are skipped
        {"a\xE4\xB8", u"a"},                               // a sequence cut short by the end
        {"a\xE4" "bc", u"abc"},                            // or by a byte that does not continue it
        {"\xF8\x88\x80\x80\x80z", u"z"},                   // a five-byte form holds no character
        {"\xF4\x90\x80\x80", u""},                          // nor does a value past U+10FFFF
        {"\xC0\xAF" "x", u"x"},                               // nor an overlong '/'
        // Found by fuzzing: an overlong NUL after a cut sequence once ended the text early.
        {"\xED\xE0\x80\x80\xED\xB0\x80 s", std::u16string{u'\xDC00', u' ', u's'}},
        {"", u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        std::u16string out = u"stale";
        ASSERT_TRUE(Utf8ToWide(c.utf8.c_str(), out));
        EXPECT_EQ(out, c.wide);
    }
    std::u16string out;
    EXPECT_FALSE(Utf8ToWide(nullptr, out));
}

TEST(Utf8ToWide, GivesBackWhatWideToUtf8Wrote)
{
    const std::u16string text = u"Ab\u00E9\u4E2D\U0001F600" + std::u16string{u'\xD800', u'z', u'\xDFFF'};
    std::string utf8;
    std::u16string back;
    ASSERT_TRUE(WideToUtf8(text.c_str(), utf8));
    ASSERT_TRUE(Utf8ToWide(utf8.c_str(), back));
    EXPECT_EQ(back, text);
}

TEST(ConvertCharset, ConvertsWithoutTruncatingLongExpansions)
{
    const std::string ascii(300, 'q');
    std::string utf32;
    for (int i = 0; i < 300; ++i)
        utf32 += std::string("q\0\0\0", 4);
    const struct { std::string text; const char* to; const char* from; std::string out; } cases[] = {
        {"\xE4\xB8\xAD\xE6\x96\x87", "GBK", "UTF-8", "\xD6\xD0\xCE\xC4"},
        {"caf\xC3\xA9", "ISO-8859-1", "UTF-8", "caf\xE9"},
        {ascii, "UTF-32LE", "ASCII", utf32},
        // A stateful set ends by shifting back to ASCII.
        {"\xE6\x97\xA5", "ISO-2022-JP", "UTF-8", "\x1B$BF|\x1B(B"},
        {"", "UTF-16LE", "UTF-8", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        std::string out;
        ASSERT_TRUE(ConvertCharset(c.text, c.to, c.from, out));
        EXPECT_EQ(out, c.out);
    }
}

TEST(ConvertCharset, FailsOnMissingOrUnknownSetsAndInvalidText)
{
    const struct { const char* what; std::string text; const char* to; const char* from; } cases[] = {
        {"no to-set", "abc", nullptr, "UTF-8"},
        {"no from-set", "abc", "UTF-8", nullptr},
        {"unknown set", "abc", "NO-SUCH-SET", "UTF-8"},
        {"invalid UTF-8", "ab\xFF", "UTF-16LE", "UTF-8"},
        {"cut short", "ab\xE4\xB8", "UTF-16LE", "UTF-8"},
        {"not in the to-set", "\xE4\xB8\xAD", "ISO-8859-1", "UTF-8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string out = "untouched";
        EXPECT_FALSE(ConvertCharset(c.text, c.to, c.from, out));
        EXPECT_EQ(out, "untouched");
    }
}

TEST(UrlEncode, KeepsLettersAndDigitsAndEscapesTheRest)
{
    const struct { std::string text; const char* to; const char* from; std::string out; } cases[] = {
        {"a b/c", nullptr, nullptr, "a+b%2Fc"},
        {"Az09", nullptr, nullptr, "Az09"},
        {"-_.~%+", nullptr, nullptr, "%2D%5F%2E%7E%25%2B"},
        {" \t\n\v\f\r", nullptr, nullptr, "++++++"},
        {"caf\xC3\xA9", nullptr, nullptr, "caf%C3%A9"},
        {std::string("a\0b", 3), nullptr, nullptr, "a%00b"},
        {"caf\xC3\xA9", "ISO-8859-1", "UTF-8", "caf%E9"},
        {"\xE4\xB8\xAD", "GBK", "UTF-8", "%D6%D0"},
        {"caf\xC3\xA9", "ISO-8859-1", nullptr, "caf%C3%A9"},   // one set alone converts nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        std::string out;
        ASSERT_TRUE(UrlEncode(c.text, out, c.to, c.from));
        EXPECT_EQ(out, c.out);
    }
    std::string out = "untouched";
    EXPECT_FALSE(UrlEncode("ab\xFF", out, "UTF-16LE", "UTF-8"));
    EXPECT_EQ(out, "untouched");
}

TEST(MD5HexString, GivesTheDigestInUpperCaseHex)
{
    const struct { std::string_view text; std::string_view digest; } cases[] = {
        {"", "D41D8CD98F00B204E9800998ECF8427E"},
        {"a", "0CC175B9C0F1B6A831C399E269772661"},
        {"abc", "900150983CD24FB0D6963F7D28E17F72"},
        {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
        {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57EDF4A22BE3C955AC49DA2E2107B67A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(MD5HexString(ByteBuffer(c.text)), c.digest);
    }
    EXPECT_EQ(MD5HexString(ByteBuffer()), "");
}
