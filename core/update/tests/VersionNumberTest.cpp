#include "core/update/VersionNumber.h"

#include <gtest/gtest.h>

TEST(VersionNumber, OnlyAWellFormedHigherVersionIsNewer)
{
    const struct {
        const char* offered;
        const char* running;
        bool newer;
    } cases[] = {
        {"2.1.0.7", "2.1.0.6", true},
        {"2.1.0.6", "2.1.0.7", false},
        {"2.1.0.7", "2.1.0.7", false},
        {"2.10", "2.9.9.9", true},   // parts are numbers, not text
        {"2.1", "2.1.0.0", false},   // a missing part is 0
        {"2.1.0.1", "2.1", true},
        {"010", "9", true},
        {"3.0", "", false},          // the running version unknown: nothing is offered
        {"", "1.0", false},
        {"3.0 ", "1.0", false},
        {"3..0", "1.0", false},
        {"3.0.", "1.0", false},
        {"-3", "1.0", false},
        {"3.0b", "1.0", false},
        {"1234567890", "1", false},  // a part too long to be a version
        {"1.1.1.1.1.1.1.1", "1", true},
        {"1.1.1.1.1.1.1.1.1", "1", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.offered) + " over " + c.running);
        EXPECT_EQ(is_newer_version(c.offered, c.running), c.newer);
    }
}
