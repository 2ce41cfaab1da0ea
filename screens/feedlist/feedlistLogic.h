#pragma once
// What the feed item list and its description views ask of the controller,
// named after the controller's calls. The controller implements it; tests
// give a fake.

#include <cstdint>

namespace RSSData {
struct tRSSItem;
}

namespace UI {

class wie;
class wrsslistitem;
struct MouseEventArgs;

// The controller's command that frees a removed row on the logic thread.
inline constexpr int LogicCommandDeleteWidget = 18;

class feedlistLogic {
public:
    virtual ~feedlistLogic() = default;
    // The feed view shows every item as playable, whatever its quality mark.
    virtual bool AllowsAllItems() const = 0;
    virtual bool MatchesQualityFilter(const RSSData::tRSSItem& item) const = 0;
    virtual void OnRSSItemMouseDown(wrsslistitem* row, MouseEventArgs& e) = 0;
    // A drag's moves and release; row is null once the dragged row has gone
    // (removed, or the list refilled) while the button is still down.
    virtual void OnRSSItemMouseMove(wrsslistitem* row, MouseEventArgs& e) = 0;
    virtual void OnRSSItemMouseUp(wrsslistitem* row, MouseEventArgs& e) = 0;
    virtual void PostLogicCommand(int command, std::intptr_t data) = 0;
    // A description view's thumbnail has arrived. On the UI thread, under
    // UIRenderMutex: it must not wait for the logic thread's dispatch lock.
    virtual void OnBrowserItemEvent(wie* view) = 0;
};

}
