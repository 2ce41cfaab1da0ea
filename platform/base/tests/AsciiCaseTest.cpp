#include "platform/base/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

TEST(AsciiCase, StartsWithIgnoresTheCaseOfAsciiLettersOnly)
{
    const struct {
        std::string_view text;
        std::string_view prefix;
        bool expected;
    } cases[] = {
        {"Content-Length: 5", "content-length:", true},
        {"HTTPS://host/", "https://", true},
        {"javascript:go()", "JavaScript:", true},
        {"content-length", "content-length:", false},   // shorter than the prefix
        {"", "", true},
        {"ftp://host/", "http://", false},
        {"\xC3\x89tag: x", "\xC3\xA9tag:", false},    // bytes past ASCII match exactly
        {"[tag", "{tag", false},                        // 0x5B is no capital of 0x7B
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text));
        EXPECT_EQ(plat::starts_with_nocase(c.text, c.prefix), c.expected);
    }
}

TEST(AsciiCase, EqualsNeedsTheSameLength)
{
    const struct {
        std::string_view a;
        std::string_view b;
        bool expected;
    } cases[] = {
        {"ISO-8859-1", "iso-8859-1", true},
        {"SCRIPT", "script", true},
        {"script", "scripts", false},
        {"", "", true},
        {"\xC3\x89", "\xC3\xA9", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + std::string(c.b));
        EXPECT_EQ(plat::equals_nocase(c.a, c.b), c.expected);
    }
}

}
