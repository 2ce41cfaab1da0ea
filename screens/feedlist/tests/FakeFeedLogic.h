#pragma once
// The controller as the feed list sees it, recording what the list asks.
// A removed row posted with command 18 is freed here, as the logic thread does.

#include "screens/feedlist/feedlistLogic.h"
#include "screens/feedlist/wrsslistitem.h"

#include "core/controller/QualityFilter.h"

#include <vector>

namespace test {

struct FakeFeedLogic : UI::feedlistLogic {
    bool allow_all{false};
    std::vector<std::pair<int, std::intptr_t>> commands;
    int downs{0}, moves{0}, ups{0}, thumbnails{0};
    std::vector<UI::wrsslistitem*> drag_rows;   // the row each move and release named

    bool AllowsAllItems() const override { return allow_all; }
    bool MatchesQualityFilter(const RSSData::tRSSItem& item) const override
    {
        return UI::MatchesQualityFilter(item, UI::HighDefinitionOnly::No);
    }
    void OnRSSItemMouseDown(UI::wrsslistitem*, UI::MouseEventArgs&) override { ++downs; }
    void OnRSSItemMouseMove(UI::wrsslistitem* row, UI::MouseEventArgs&) override
    {
        ++moves;
        drag_rows.push_back(row);
    }
    void OnRSSItemMouseUp(UI::wrsslistitem* row, UI::MouseEventArgs&) override
    {
        ++ups;
        drag_rows.push_back(row);
    }
    void PostLogicCommand(int command, std::intptr_t data) override
    {
        commands.emplace_back(command, data);
        if (command == UI::LogicCommandDeleteWidget) delete reinterpret_cast<UI::wrsslistitem*>(data);
    }
    void OnBrowserItemEvent(UI::wie*) override { ++thumbnails; }
};

}
