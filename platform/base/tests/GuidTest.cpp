#include "platform/base/Guid.h"

#include <gtest/gtest.h>

TEST(Guid, ParsesAndFormatsTheBracedForm)
{
    constexpr GUID jscript = plat::make_guid("{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}");
    static_assert(jscript.Data1 == 0xF414C260 && jscript.Data4[7] == 0x58);
    EXPECT_EQ(plat::format_guid(jscript), "{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}");
    EXPECT_EQ(plat::format_guid_utf16(jscript), u"{F414C260-6AC0-11CF-B6D1-00AA00BBBB58}");
}

TEST(Guid, MixedCaseAndBareFormsParse)
{
    auto a = plat::parse_guid("{1D37442F-D06A-436c-8890-A6AA4E9A993C}");
    auto b = plat::parse_guid("1d37442f-d06a-436C-8890-a6aa4e9a993c");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
}

TEST(Guid, MalformedTextsAreRejected)
{
    for (const char* text : {"", "{}", "{1D37442F-D06A-436c-8890-A6AA4E9A993C", "{1D37442F_D06A-436c-8890-A6AA4E9A993C}",
                             "{1D37442G-D06A-436c-8890-A6AA4E9A993C}", "[1D37442F-D06A-436c-8890-A6AA4E9A993C]",
                             "{1D37442F-D06A-436c-8890-A6AA4E9A993C}x"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(plat::parse_guid(text).has_value());
    }
}

TEST(Guid, OrdersAndHashesByValue)
{
    GUID a = plat::make_guid("{00000001-0000-0000-0000-000000000000}");
    GUID b = plat::make_guid("{00000001-0000-0000-0000-000000000001}");
    EXPECT_TRUE(a < b);
    EXPECT_FALSE(b < a);
    EXPECT_NE(plat::GuidHash{}(a), plat::GuidHash{}(b));
}
