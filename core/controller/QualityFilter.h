#pragma once
// The quality filter of the item list: which items count as playable.
// The controller answers with it, giving the switch the settings keep.

namespace RSSData {
struct tRSSItem;
}

namespace UI {

enum class HighDefinitionOnly { No, Yes };

// A high-quality item always passes; a standard one only while the switch is
// off; an item of any other mark never does.
bool MatchesQualityFilter(const RSSData::tRSSItem& item, HighDefinitionOnly switch_on);

}
