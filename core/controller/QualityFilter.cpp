#include "core/controller/QualityFilter.h"

#include "components/common/feeddb/RSSData.h"

namespace UI {

bool MatchesQualityFilter(const RSSData::tRSSItem& item, HighDefinitionOnly switch_on)
{
    const std::int32_t mark = item.status();
    return mark == RSSData::ItemStatus::HighQuality ||
           (mark == RSSData::ItemStatus::StandardQuality && switch_on == HighDefinitionOnly::No);
}

}
