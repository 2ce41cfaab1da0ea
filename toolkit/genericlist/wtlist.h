// The generic list under the download and device panes: rows of their own
// heights in the list's own surface, scrolled smoothly with an elastic
// overscroll, one selected row carrying a "remove" button, keyboard and
// wheel navigation, a collapse for a removed row, fade-in and zoom-in
// appear animations, and a fly-in of a picture through a drag window hung on
// the UI manager's root.
//
// Rows are widget children of the list (the widget tree owns them); the
// list's vector orders them. The remove button belongs to the selected row
// while there is one, else to the list.
#pragma once

#include "screens/widgets/wlistanimation.h"
#include "toolkit/controls/wlist.h"
#include "toolkit/genericlist/wdragAnimation.h"
#include "toolkit/genericlist/wtlistAnimation.h"

#include <vector>

namespace UI {

class wdragwindow;
class wtlistitem;

// The click value "list_click" carries for the remove button.
inline constexpr intptr_t RemoveButtonCode = 107;

class wtlist : public wlist {
public:
    explicit wtlist(std::string name);
    ~wtlist() override;

    // Appends the row (the list takes it as a child) and lays the rows out.
    void AddRow(wtlistitem* row);
    // Collapses the row, then removes it: "listitem_delete" fires with the row as sender.
    void RemoveRow(int index);
    void LayoutRows();
    void ScrollRows(int rows);
    // Selects the row and scrolls 58 past the content's end, held there until a fly-in lands or
    // ClearScrollOverride.
    void SelectAndScroll(int index);
    void ClearScrollOverride() { m_scroll.SetOverride(false); }
    float GetScrollOffset() const { return m_scroll.GetOffset(); }
    bool IsScrolling() const { return m_scroll.IsScrolling(); }
    void ShowAllRows(bool shown);
    // Flies the picture of the widget registered as 101 from there to (x, y).
    void StartFlyIn(float x, float y);
    // The list keeps invalidating itself, and ignores row clicks, for that many frames.
    void KeepLayingOut(int frames) { m_layout_countdown = frames; }

    int GetSelection() const { return m_selection; }
    int GetRowCount() const { return int(m_rows.size()); }
    wtlistitem* GetRow(int index) const;
    float GetContentHeight() const { return m_content_height; }
    float GetItemScale() const { return m_zoom; }
    void SetItemScale(float zoom) { m_zoom = zoom; }
    wlistanimationFadeIn<wtlist>& GetFadeIn() { return m_fade_in; }
    wlistanimationZoomIn<wtlist>& GetZoomIn() { return m_zoom_in; }
    wdragwindow* GetDragWindow() const { return m_drag_window; }
    wbtn* GetRemoveButton() const { return m_remove; }
    bool IsFlying() const { return m_flying; }

    bool OnItemClick(EventArgs& e) override;
    void OnFocusIn() override;
    void OnFocusOut() override;
    void OnKey(ValueEventArgs& e) override;
    void OnMouseWheel(MouseEventArgs& e) override;
    widget* ChildAt(float x, float y) override;
    void OnSizeChanged() override;
    void Draw() override;

protected:
    void DrawChildren() override;

private:
    int IndexOf(const widget* row) const;
    bool ValidRow(int index) const { return index >= 0 && index < GetRowCount(); }
    void UpdateSelection();
    bool OnRemoveClicked(EventArgs& e);
    bool ShownWithAncestors() const;
    void StepFlight();
    void StepCollapse();
    void DropRow();

    std::vector<wtlistitem*> m_rows;   // children, in display order
    int m_selection{-1};
    int m_saved_selection{-1};
    float m_content_height{0};
    wtlistAnimation m_scroll{*this};
    wdragAnimation m_flight;
    wlistanimationFadeIn<wtlist> m_fade_in{this};
    wlistanimationZoomIn<wtlist> m_zoom_in{this};
    float m_zoom{1};
    wbtn* m_remove;
    wdragwindow* m_drag_window;        // a child of the UI manager's root, or of the list without one
    bool m_flying{false};
    bool m_removing{false};
    int m_removing_index{-1};
    float m_collapse_height{0};
    int m_layout_countdown{0};
};

}
