#pragma once
// The feed item list: rows of their own heights (one per item, each showing
// its description), scrolled smoothly with an elastic overscroll of 240 px,
// a current row chosen by hover, keys or the wheel, drags of an item's
// thumbnail handed to the controller, a click animation that opens an item,
// and a collapse for a removed row, which is then freed on the logic thread.
//
// Everything runs on the UI thread except the draw, which the compose
// thread runs under the render lock; it steps one frame of the scroll, the
// click animation and the collapse each time.

#include "screens/widgets/wlistanimation.h"
#include "toolkit/controls/wlist.h"

#include <vector>

namespace RSSData {
struct tRSSItem;
}

namespace UI {

class feedlistLogic;
class wrsslistitem;

class wrsslist : public wlist {
public:
    explicit wrsslist(std::string name);

    void SetLogic(feedlistLogic* logic) { m_logic = logic; }
    // A record with an empty display description is ignored.
    void SetItemAt(int index, const RSSData::tRSSItem& item);
    // Takes every row out and frees it (a new page is coming); scroll and choice start over.
    void RemoveAllItems();
    // Row `index` collapses, at once or after a short pause, and leaves the
    // list; ignored for no such row or while another row is leaving.
    enum class Removal { Now, Delayed };
    void BeginRemove(int index, Removal when);
    void ScrollBy(float distance);
    void ScrollRows(int rows);
    void ClickRow(int index);
    // Places the rows one under the other; ignored while frozen.
    void Relayout();
    // Set by the controller's "rsslistitemclickanimation" handler: the click animation runs.
    void SetFrozen(bool frozen) { m_frozen = frozen; }

    float GetScrollOffset() const { return m_scroll_offset; }
    float GetScrollTarget() const { return m_scroll_target; }
    float GetContentHeight() const { return m_content_height; }
    int GetCurrentIndex() const { return m_current; }
    int GetItemCount() const { return int(m_items.size()); }
    wrsslistitem* GetItem(int index) const;
    bool IsFrozen() const { return m_frozen; }
    bool IsRemoving() const { return m_removing; }
    float GetItemScale() const { return m_item_scale; }
    void SetItemScale(float scale) { m_item_scale = scale; }
    wlistanimationFadeIn<wrsslist>& GetFadeIn() { return m_fade_in; }
    wlistanimationZoomIn<wrsslist>& GetZoomIn() { return m_zoom_in; }

    widget* ChildAt(float x, float y) override;
    void OnMouseWheel(MouseEventArgs& e) override;
    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    // Held from a press to its release, so the pointer stays with the list
    // wherever it goes meanwhile.
    bool IsPressed() const override { return m_held || wlist::IsPressed(); }
    void OnKey(ValueEventArgs& e) override;
    void OnFocusOut() override;
    void OnFocusIn() override;
    void Draw() override;
    // Rows have their own heights: the list keeps the height it is given
    // (the base would cut it to whole rows of the generic row height).
    void OnSizeChanged() override { window::OnSizeChanged(); }
    bool OnItemMove(EventArgs& e) override;
    bool OnItemClick(EventArgs& e) override;

protected:
    void DrawChildren() override;

private:
    bool ValidRow(int index) const { return index >= 0 && index < GetItemCount(); }
    int IndexOf(const widget* row) const;
    wrsslistitem* RowAt(fpoint local) const;
    fpoint LocalPoint(const MouseEventArgs& e) const;
    bool ShownWithAncestors() const;
    void MarkCurrent();
    bool OnRowHover(EventArgs& e);
    void FireListClick(int index, intptr_t code);
    void StepScroll();
    void StepClickAnimation();
    void StepRemoval();
    void EndRemoval();

    feedlistLogic* m_logic{nullptr};
    std::vector<wrsslistitem*> m_items;   // children, in order; guarded by WidgetMutex
    int m_current{-1};
    wrsslistitem* m_dragged{nullptr};
    bool m_dragging{false};
    // The list's own press, not the window's pressed flag: for a window that
    // flag means "dragged by the mouse", and the list never moves.
    bool m_held{false};
    fpoint m_press{0, 0};
    int m_pending{-1};
    float m_scroll_offset{0};
    float m_scroll_target{0};
    float m_content_height{0};
    bool m_bouncing{false};
    float m_overscroll{240};
    wlistanimationFadeIn<wrsslist> m_fade_in{this};
    wlistanimationZoomIn<wrsslist> m_zoom_in{this};
    float m_item_scale{1};
    bool m_removing{false};
    int m_remove_index{-1};
    float m_collapse_height{0};
    int m_remove_delay{0};
    int m_click_index{-1};
    bool m_frozen{false};
};

}
