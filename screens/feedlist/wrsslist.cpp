#include "screens/feedlist/wrsslist.h"

#include "screens/feedlist/feedlistLogic.h"
#include "screens/feedlist/wie.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/widgets/ListRowDraw.h"

#include "core/settings/CAppSettings.h"
#include "platform/window/Cursor.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <cmath>

namespace UI {
namespace {

constexpr int KeyEnter = 13, KeyLeft = 37, KeyUp = 38, KeyRight = 39, KeyDown = 40, KeyDelete = 46;
constexpr float ClickSlop = 100;       // squared pixels a press may move and still click
constexpr float ClickAnimationStep = 40;
constexpr int RemovalPauseFrames = 9;    // a delayed removal shows the row a moment longer

bool inside(const frect& r, fpoint p) { return p.x >= r.x && p.y >= r.y && p.x < r.x + r.width && p.y < r.y + r.height; }

}  // namespace

wrsslist::wrsslist(std::string name) : wlist(std::move(name))
{
    SetClearColor(0, 0, 0, 0);
    SetFocusable(true);
}

wrsslistitem* wrsslist::GetItem(int index) const { return ValidRow(index) ? m_items[std::size_t(index)] : nullptr; }

int wrsslist::IndexOf(const widget* row) const
{
    const auto found = std::find(m_items.begin(), m_items.end(), row);
    return found == m_items.end() ? -1 : int(found - m_items.begin());
}

void wrsslist::SetItemAt(int index, const RSSData::tRSSItem& item)
{
    if (item.display_description.empty()) return;
    if (index >= 0 && index < GetItemCount()) {
        m_items[std::size_t(index)]->SetItem(item);
        Relayout();
    } else {
        auto* row = new wrsslistitem("wrsslistitem", m_logic);
        row->SetItem(item);
        AddChild(row);
        row->GetEvent("listitem_moveto", true)->Subscribe(&wrsslist::OnItemMove, this);
        row->GetEvent("listitem_click", true)->Subscribe(&wrsslist::OnItemClick, this);
        row->GetEvent("window_EnterLeave", true)->Subscribe(&wrsslist::OnRowHover, this);
        row->SetPos(0, m_content_height);
        m_content_height += std::trunc(row->GetHeight());
        CMutexGuard hold(WidgetMutex());
        m_items.push_back(row);
    }
    Invalidate();
}

void wrsslist::RemoveAllItems()
{
    std::vector<wrsslistitem*> rows;
    {
        CMutexGuard hold(WidgetMutex());
        rows.swap(m_items);
        for (wrsslistitem* row : rows) RemoveChild(row);
    }
    m_current = m_pending = m_remove_index = m_click_index = -1;
    m_removing = m_bouncing = false;
    // A drag under way outlives its row: the logic holds its own copy of
    // the item, and must still see the release to end the drag.
    m_dragged = nullptr;
    m_scroll_offset = m_scroll_target = m_content_height = 0;
    for (wrsslistitem* row : rows) delete row;
    Invalidate();
}

void wrsslist::Relayout()
{
    if (m_frozen) return;
    {
        CMutexGuard hold(WidgetMutex());
        float y = 0, content = 0;
        for (wrsslistitem* row : m_items) {
            row->SetPos(0, y);
            y += std::trunc(row->GetHeight());
            if (row->IsVisible()) content += std::trunc(row->GetHeight());
        }
        m_content_height = content;
    }
    LayoutChildren();
    Invalidate();
}

void wrsslist::BeginRemove(int index, Removal when)
{
    if (m_removing || !ValidRow(index)) return;
    m_removing = true;
    m_remove_index = index;
    m_collapse_height = m_items[std::size_t(index)]->GetHeight();
    m_remove_delay = when == Removal::Delayed ? RemovalPauseFrames : 0;
    Invalidate();
}

void wrsslist::ScrollBy(float distance)
{
    m_bouncing = false;
    m_scroll_target -= distance;
    const float bottom = m_content_height - GetHeight();
    if (m_scroll_target < -m_overscroll)
        m_scroll_target = -2 * m_overscroll;
    else if (m_scroll_target > bottom + m_overscroll)
        m_scroll_target = bottom + 2 * m_overscroll;
    Invalidate();
}

void wrsslist::ScrollRows(int rows)
{
    if (m_items.empty()) return;
    if (!ValidRow(m_current)) m_current = 0;
    const float y0 = m_items[std::size_t(m_current)]->GetY();
    const int to = m_current + rows;
    if (to < 0) {
        ScrollBy(GetHeight());
        m_current = 0;
    } else if (to < GetItemCount()) {
        ScrollBy(y0 - m_items[std::size_t(to)]->GetY());
        m_current = to;
    } else {
        ScrollBy(-GetHeight());
        m_current = GetItemCount() - 1;
    }
    MarkCurrent();
}

void wrsslist::MarkCurrent()
{
    for (std::size_t i = 0; i < m_items.size(); ++i) m_items[i]->SetHighlighted(int(i) == m_current);
    Invalidate();
}

// The shown offset eases towards the target by a twentieth a frame (3 to 60
// px); past either end it snaps back to the content.
void wrsslist::StepScroll()
{
    if (m_scroll_offset == m_scroll_target) {
        m_bouncing = false;
        return;
    }
    float step = (m_scroll_target - m_scroll_offset) / 20;
    if (std::fabs(step) < 3)
        step = std::copysign(3.0f, step);
    else if (std::fabs(step) >= 60)
        step = std::copysign(60.0f, step);
    m_scroll_offset += step;
    const float far_end = m_content_height - GetHeight() + m_overscroll;
    float snap = 3;
    if (m_scroll_offset < -m_overscroll || m_scroll_offset >= far_end) {
        m_bouncing = true;
        snap = 8;
    }
    if (std::fabs(m_scroll_target - m_scroll_offset) < snap) m_scroll_offset = m_scroll_target;
    if (m_bouncing) {
        if (m_scroll_target <= -m_overscroll)
            m_scroll_target = 0;
        else if (m_scroll_target >= far_end)
            m_scroll_target = GetHeight() > m_content_height ? 0 : m_content_height - GetHeight();
    }
    LayoutChildren();
    Invalidate();
}

bool wrsslist::ShownWithAncestors() const
{
    for (const widget* w = this; w; w = w->GetParent())
        if (!w->IsVisible()) return false;
    return true;
}

fpoint wrsslist::LocalPoint(const MouseEventArgs& e) const
{
    const fpoint origin = GetScreenOrigin();
    return {e.position.x - origin.x, e.position.y - origin.y};
}

// A point in the list's own coordinates; rows stand in content coordinates.
wrsslistitem* wrsslist::RowAt(fpoint local) const
{
    const fpoint content{local.x, local.y + m_scroll_offset};
    for (wrsslistitem* row : m_items)
        if (row->IsVisible() && inside({row->GetX(), row->GetY(), row->GetWidth(), row->GetHeight()}, content))
            return row;
    return nullptr;
}

widget* wrsslist::ChildAt(float x, float y)
{
    if (x < GetX() || y < GetY() || x > GetX() + GetWidth() || y > GetY() + GetHeight()) return nullptr;
    const float cx = x - GetX(), cy = y - GetY() + m_scroll_offset;
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        wrsslistitem* row = *it;
        if (!row->IsVisible() || !row->HitTest(cx, cy)) continue;
        if (widget* deeper = row->ChildAt(cx, cy); deeper && deeper != row->GetContent()) return deeper;
        return row;
    }
    return nullptr;
}

void wrsslist::OnMouseWheel(MouseEventArgs& e)
{
    if (!ShownWithAncestors()) return;
    e.handled = 1;
    ScrollRows(int(e.second.x / -120));
}

void wrsslist::OnMouseDown(MouseEventArgs& e)
{
    const fpoint local = LocalPoint(e);
    // A row's own button (favourite, download, remove) takes its press; the
    // list must not make a row click (which plays the item) of it as well.
    const widget* hit = ChildAt(local.x + GetX(), local.y + GetY());
    if (hit && !dynamic_cast<const wrsslistitem*>(hit)) {
        e.handled = 1;
        return;
    }
    if (m_scroll_offset != m_scroll_target) {
        m_scroll_target = m_scroll_offset;
        m_current = IndexOf(RowAt(local));
        MarkCurrent();
    }
    e.handled = 1;
    m_press = e.position;
    SetFocus();
    m_held = true;
    const fpoint content{local.x, local.y + m_scroll_offset};
    for (wrsslistitem* row : m_items) {
        const frect thumb = row->GetThumbnailRect();
        if (!row->IsVisible() || !inside({thumb.x + row->GetX(), thumb.y + row->GetY(), thumb.width, thumb.height}, content))
            continue;
        m_dragging = true;
        m_dragged = row;
        if (m_logic) m_logic->OnRSSItemMouseDown(row, e);
        break;
    }
}

void wrsslist::OnMouseMove(MouseEventArgs& e)
{
    if (m_dragging) {
        if (m_logic) m_logic->OnRSSItemMouseMove(m_dragged, e);
        return;
    }
    window::OnMouseMove(e);
}

void wrsslist::OnMouseUp(MouseEventArgs& e)
{
    if (!m_held) return;
    m_held = false;
    wrsslistitem* under = RowAt(LocalPoint(e));
    if (m_dragging) {
        m_dragging = false;
        if (m_logic) m_logic->OnRSSItemMouseUp(m_dragged, e);
        m_dragged = nullptr;
        if (under)
            under->OnMouseMove(e);
        else
            SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        return;
    }
    const float dx = e.position.x - m_press.x, dy = e.position.y - m_press.y;
    if (dx * dx + dy * dy < ClickSlop) {
        // A press that stayed put is the row's click.
        if (under) under->Click();
        return;
    }
    const CAppSettings* settings = CAppSettings::Instance();
    const float screen = settings ? settings->GetMetric(3) : 0;
    if (screen > 0) ScrollBy(dy * m_content_height / screen);
    e.handled = 1;
}

void wrsslist::OnKey(ValueEventArgs& e)
{
    if (!IsFocusable()) return;
    e.handled = 1;
    switch (e.value) {
    case KeyEnter:
        if (wrsslistitem* row = GetItem(m_current)) row->Click();
        break;
    case KeyLeft: FocusPrev(); break;
    case KeyRight: FocusNext(); break;
    case KeyUp: ScrollRows(-1); break;
    case KeyDown: ScrollRows(1); break;
    case KeyDelete:
        // With no current row there is nothing to remove.
        if (wrsslistitem* row = GetItem(m_current)) {
            EventArgs pressed;
            pressed.sender = row->GetRemoveButton();
            row->GetRemoveButton()->FireEvent("button_clicked", pressed);
        }
        break;
    default: e.handled = 0; break;
    }
}

void wrsslist::OnFocusOut()
{
    m_pending = m_current;
    m_current = -1;
    MarkCurrent();
}

void wrsslist::OnFocusIn()
{
    if (ValidRow(m_pending)) {
        m_current = m_pending;
        MarkCurrent();
    }
    wlist::OnFocusIn();
}

bool wrsslist::OnItemMove(EventArgs&) { return false; }

bool wrsslist::OnRowHover(EventArgs& e)
{
    if (static_cast<ValueEventArgs&>(e).value != 1) return false;
    const int index = IndexOf(e.sender);
    if (index < 0) return false;
    m_current = index;
    MarkCurrent();
    return false;
}

bool wrsslist::OnItemClick(EventArgs& e)
{
    if (m_frozen) return false;
    const int index = IndexOf(e.sender);
    if (index < 0) return false;
    const intptr_t code = static_cast<ValueEventArgs&>(e).reserved;
    if (code < 1)
        ClickRow(index);
    else
        FireListClick(index, code);
    return true;
}

void wrsslist::FireListClick(int index, intptr_t code)
{
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.value = index;
    clicked.reserved = code;
    FireEvent("list_click", clicked);
}

void wrsslist::ClickRow(int index)
{
    if (!ValidRow(index)) return;
    m_click_index = index;
    Invalidate();
    ValueEventArgs animation;
    animation.sender = this;
    animation.value = index;
    FireEvent("rsslistitemclickanimation", animation);
    if (!m_frozen) FireListClick(index, 0);
}

// The rows part around the clicked one, 40 px a frame, until none is left in view.
void wrsslist::StepClickAnimation()
{
    bool in_view = false;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        wrsslistitem& row = *m_items[i];
        const int index = int(i);
        if (index == m_click_index) {
            row.SetVisible(false);
            continue;
        }
        row.SetY(row.GetY() + (index < m_click_index ? -ClickAnimationStep : ClickAnimationStep));
        const float top = row.GetY() - m_scroll_offset;
        if (index < m_click_index ? top + row.GetHeight() > 0 : top < GetHeight()) in_view = true;
    }
    Invalidate();
    if (in_view) return;
    m_frozen = false;
    // The opened row comes back for when the list is shown again.
    if (wrsslistitem* clicked = GetItem(m_click_index)) clicked->SetVisible(true);
    if (widget* parent = GetParent()) parent->Show(false);
    FireListClick(m_click_index, 0);
    Relayout();
}

void wrsslist::StepRemoval()
{
    if (m_remove_delay >= 0)
        --m_remove_delay;
    else
        m_collapse_height = m_collapse_height * 4 / 5;
    if (m_collapse_height < 2) EndRemoval();
    else Invalidate();
}

// The row leaves the tree here and is freed on the logic thread, never inside the draw.
void wrsslist::EndRemoval()
{
    wrsslistitem* row = m_items[std::size_t(m_remove_index)];
    m_removing = false;
    {
        CMutexGuard hold(WidgetMutex());
        RemoveChild(row);
        m_items.erase(m_items.begin() + m_remove_index);
    }
    for (int* kept : {&m_current, &m_pending}) {
        if (*kept == m_remove_index)
            *kept = -1;
        else if (*kept > m_remove_index)
            --*kept;
    }
    m_remove_index = -1;
    // The controller must not get a freed row; the drag itself goes on to its release.
    if (m_dragged == row)
        m_dragged = nullptr;
    if (m_logic)
        m_logic->PostLogicCommand(LogicCommandDeleteWidget, reinterpret_cast<std::intptr_t>(row));
    else
        delete row;
    Relayout();
    MarkCurrent();
}

void wrsslist::Draw()
{
    if (m_fade_in.IsRunning()) m_fade_in.Step();
    if (m_zoom_in.IsRunning()) m_zoom_in.Step();
    if (m_frozen)
        StepClickAnimation();
    else
        StepScroll();
    if (GetParent() && !GetParent()->IsVisible()) return;
    if (m_removing) StepRemoval();
    window::Draw();
}

// The background, then the rows moved by the scroll and, below a
// collapsing row, up by what it has given back.
void wrsslist::DrawChildren()
{
    if (widget* background = GetBackground(); background && background->IsVisible()) background->Draw();
    const float alpha = GetAlpha();
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        wrsslistitem& row = *m_items[i];
        if (!row.IsVisible()) continue;
        const int index = int(i);
        if (m_removing && index == m_remove_index && m_remove_delay < 0) continue;
        float y = row.GetY() - m_scroll_offset;
        if (m_removing && index > m_remove_index)
            y -= m_items[std::size_t(m_remove_index)]->GetHeight() - m_collapse_height;
        const float row_alpha = row.GetAlpha();
        if (!GetBackBuffer() && alpha < 255) row.SetAlpha(row_alpha * alpha / 255);
        wie* content = row.GetContent();
        DrawListRow(row, y, m_item_scale, GetSize(), [&row, content] {
            if (content) content->SetSize(row.GetWidth() - 12, row.GetHeight() - 12);
        });
        row.SetAlpha(row_alpha);
    }
}

}
