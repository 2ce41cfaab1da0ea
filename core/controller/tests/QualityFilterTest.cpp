#include "core/controller/QualityFilter.h"

#include "components/common/feeddb/RSSData.h"

#include <gtest/gtest.h>

TEST(QualityFilter, MarksAndTheSwitch)
{
    using UI::HighDefinitionOnly;
    const struct {
        std::int64_t status;
        HighDefinitionOnly hd_only;
        bool passes;
    } cases[] = {
        {1280, HighDefinitionOnly::No, true},   {1280, HighDefinitionOnly::Yes, true},
        {1024, HighDefinitionOnly::No, true},   {1024, HighDefinitionOnly::Yes, false},
        {0, HighDefinitionOnly::No, false},     {1, HighDefinitionOnly::No, false},
        // Only the low 32 bits carry the mark.
        {(std::int64_t(1) << 32) | 1280, HighDefinitionOnly::Yes, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        RSSData::tRSSItem item;
        item.data = c.status;
        EXPECT_EQ(UI::MatchesQualityFilter(item, c.hd_only), c.passes);
    }
}
