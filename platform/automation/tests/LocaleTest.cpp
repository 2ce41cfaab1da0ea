#include "platform/automation/Locale.h"

#include <gtest/gtest.h>

TEST(Locale, PosixNamesMapToWindowsLocaleIds)
{
    const struct { const char* name; LCID lcid; } cases[] = {
        {"en_US.UTF-8", 0x0409}, {"zh_CN.UTF-8", 0x0804}, {"zh_TW", 0x0404}, {"de_DE@euro", 0x0407},
        {"fr", 0x040C}, {"C", 0x0409}, {"POSIX", 0x0409}, {"xx_YY", 0x0409}, {"", 0x0409},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(plat::lcid_of_locale_name(c.name), c.lcid);
    }
}
