#include "toolkit/genericlist/wtlist.h"

#include "screens/widgets/ListRowDraw.h"
#include "screens/widgets/wdragwindow.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/genericlist/wtlistitem.h"
#include "toolkit/render/picture.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <algorithm>
#include <cmath>

namespace UI {
namespace {

constexpr int KeyEnter = 13, KeyLeft = 37, KeyUp = 38, KeyRight = 39, KeyDown = 40, KeyDelete = 46;
constexpr int FlyInSourceId = 101;
constexpr float PastTheEnd = 58;

}  // namespace

wtlist::wtlist(std::string name) : wlist(std::move(name)), m_remove(new wbtn("removeafile"))
{
    SetClearColor(0, 0, 0, 0);
    m_remove->SetSkinByName("removeafile");
    m_remove->SetZOrder(700);
    m_remove->Show(false);
    m_remove->GetEvent("button_clicked", true)->Subscribe(&wtlist::OnRemoveClicked, this);
    SetFocusable(true);
    m_drag_window = new wdragwindow("wdragwindow");
    if (window* root = uiMgr::Instance().GetRoot())
        root->AddChild(m_drag_window);
    else
        AddChild(m_drag_window);
}

wtlist::~wtlist()
{
    if (m_remove->GetParent() == nullptr)
        delete m_remove;
}

wtlistitem* wtlist::GetRow(int index) const { return ValidRow(index) ? m_rows[std::size_t(index)] : nullptr; }

int wtlist::IndexOf(const widget* row) const
{
    const auto found = std::find(m_rows.begin(), m_rows.end(), row);
    return found == m_rows.end() ? -1 : int(found - m_rows.begin());
}

void wtlist::AddRow(wtlistitem* row)
{
    AddChild(row);
    row->GetEvent("listitem_click", true)->Subscribe(&wtlist::OnItemClick, this);
    {
        CMutexGuard hold(WidgetMutex());
        m_rows.push_back(row);
    }
    LayoutRows();
    Invalidate();
}

// Hidden rows keep their place in the running position; only shown rows
// count towards the content (the draw skips rows that are not shown).
void wtlist::LayoutRows()
{
    CMutexGuard hold(UIRenderMutex());
    float y = 0, content = 0;
    for (wtlistitem* row : m_rows) {
        row->SetPos(0, y);
        y += std::trunc(row->GetHeight());
        if (row->IsVisible())
            content += row->GetHeight();
    }
    m_content_height = content;
}

void wtlist::RemoveRow(int index)
{
    if (!ValidRow(index) || m_removing)
        return;
    m_removing = true;
    m_removing_index = index;
    m_collapse_height = m_rows[std::size_t(index)]->GetHeight();
    Invalidate();
}

void wtlist::ScrollRows(int rows)
{
    if (m_rows.empty())
        return;
    if (!ValidRow(m_selection))
        m_selection = 0;
    const int to = m_selection + rows;
    if (to < 0) {
        m_scroll.ScrollBy(GetHeight());
        m_selection = 0;
    } else if (to < GetRowCount()) {
        m_scroll.ScrollBy(m_rows[std::size_t(m_selection)]->GetY() - m_rows[std::size_t(to)]->GetY());
        m_selection = to;
    } else {
        m_scroll.ScrollBy(-GetHeight());
        m_selection = GetRowCount() - 1;
    }
    UpdateSelection();
}

void wtlist::SelectAndScroll(int index)
{
    if (ValidRow(index)) {
        m_selection = index;
        UpdateSelection();
    }
    m_scroll.SetOverride(true);
    const float target = std::trunc(m_content_height - GetHeight() + PastTheEnd);
    m_scroll.ScrollBy(m_scroll.GetTarget() - target);
    Invalidate();
}

void wtlist::ShowAllRows(bool shown)
{
    for (wtlistitem* row : m_rows) row->SetShown(shown);
}

void wtlist::UpdateSelection()
{
    if (IsScrolling())
        return;
    if (widget* holder = m_remove->GetParent())
        holder->RemoveChild(m_remove);
    m_remove->Show(false);
    for (std::size_t i = 0; i < m_rows.size(); ++i) m_rows[i]->SetSelected(int(i) == m_selection);
    if (wtlistitem* selected = GetRow(m_selection)) {
        selected->AddChild(m_remove);
        m_remove->SetPosRule(2, 2, 11, 9);
        m_remove->Show(true);
        selected->UpdateLayout();
    }
    Invalidate();
}

bool wtlist::OnItemClick(EventArgs& e)
{
    if (m_layout_countdown >= 1 || static_cast<ValueEventArgs&>(e).reserved == 0)
        return false;
    const int index = IndexOf(e.sender);
    if (index < 0)
        return false;
    m_selection = index;
    UpdateSelection();
    Activate();
    return true;
}

bool wtlist::OnRemoveClicked(EventArgs&)
{
    const int index = IndexOf(m_remove->GetParent());
    if (index < 0)
        return false;
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.value = index;
    clicked.reserved = RemoveButtonCode;
    FireEvent("list_click", clicked);
    return false;
}

void wtlist::OnFocusOut()
{
    m_saved_selection = m_selection;
    m_selection = -1;
    UpdateSelection();
}

void wtlist::OnFocusIn()
{
    if (!ValidRow(m_saved_selection))
        return;
    m_selection = m_saved_selection;
    UpdateSelection();
}

void wtlist::OnKey(ValueEventArgs& e)
{
    if (!IsFocusable())
        return;
    e.handled = 1;
    switch (e.value) {
    case KeyEnter:
        if (wtlistitem* row = GetRow(m_selection)) {
            ValueEventArgs chosen;
            chosen.sender = row;
            row->FireEvent("listitem_click", chosen);
        }
        break;
    case KeyLeft: FocusPrev(); break;
    case KeyRight: FocusNext(); break;
    case KeyUp: ScrollRows(-1); break;
    case KeyDown: ScrollRows(1); break;
    case KeyDelete:
        if (ValidRow(m_selection)) {
            EventArgs pressed;
            pressed.sender = m_remove;
            m_remove->FireEvent("button_clicked", pressed);
        }
        break;
    default: break;
    }
}

bool wtlist::ShownWithAncestors() const
{
    for (const widget* w = this; w; w = w->GetParent())
        if (!w->IsVisible())
            return false;
    return true;
}

void wtlist::OnMouseWheel(MouseEventArgs& e)
{
    if (!ShownWithAncestors())
        return;
    e.handled = 1;
    ScrollRows(int(e.second.x / -120));
}

widget* wtlist::ChildAt(float x, float y)
{
    if (x < GetX() || y < GetY() || x > GetX() + GetWidth() || y > GetY() + GetHeight())
        return nullptr;
    const float cx = x - GetX(), cy = y + GetScrollOffset() - GetY();
    for (auto it = m_rows.rbegin(); it != m_rows.rend(); ++it) {
        wtlistitem* row = *it;
        if (!row->IsVisible() || !row->IsShown() || !row->HitTest(cx, cy))
            continue;
        if (widget* deeper = row->ChildAt(cx, cy))
            return deeper;
        if (!row->IsMouseTransparent())
            return row;
    }
    return nullptr;
}

void wtlist::OnSizeChanged() { window::OnSizeChanged(); }

void wtlist::StartFlyIn(float x, float y)
{
    m_flying = true;
    widget* source = GetWidgetById(FlyInSourceId);
    frect from{0, 0, 74, 60};
    if (source) {
        const fpoint at = source->GetScreenOrigin();
        from = {at.x, at.y, source->GetWidth(), source->GetHeight()};
        auto* image = dynamic_cast<wimage*>(source);
        if (image && image->GetPicture())
            m_drag_window->SetImage(image->GetPicture()->GetName());
    }
    m_drag_window->SetHeld(true);
    m_drag_window->SetPos(from.x, from.y);
    m_drag_window->SetSize(from.width, from.height);
    m_drag_window->Show(true);
    m_flight.Start(from, {x, y});
    Invalidate();
}

void wtlist::StepFlight()
{
    const frect now = m_flight.Step();
    m_drag_window->SetPos(now.x, now.y);
    m_drag_window->SetSize(now.width, now.height);
    m_drag_window->UpdateLayout();
    Invalidate();
    if (m_flight.IsRunning())
        return;
    m_drag_window->Show(false);
    m_drag_window->SetHeld(false);
    m_flying = false;
    // The row has landed: the hold past the end (SelectAndScroll) ends and the scroll settles within the rows.
    // Held on, a short list would stay pushed down the pane by the margin's worth.
    m_scroll.SetOverride(false);
    if (!m_rows.empty())
        ShowAllRows(true);
    EventArgs finished;
    finished.sender = m_drag_window;
    m_drag_window->FireEvent("Dragwindow_dragfinished", finished);
}

// A removed row's slot shrinks to 4/5 a frame; under 2 px the row goes.
void wtlist::StepCollapse()
{
    m_collapse_height = m_collapse_height * 4 / 5;
    Invalidate();
    if (m_collapse_height < 2)
        DropRow();
}

// The selection, saved or not, keeps naming the same row: past the removed
// row it moves up one, on it there is none.
void wtlist::DropRow()
{
    const int index = m_removing_index;
    m_removing = false;
    m_removing_index = -1;
    wtlistitem* row = m_rows[std::size_t(index)];
    if (m_remove->GetParent() == row)
        row->RemoveChild(m_remove);
    {
        CMutexGuard hold(WidgetMutex());
        m_rows.erase(m_rows.begin() + index);
    }
    for (int* kept : {&m_selection, &m_saved_selection}) {
        if (*kept == index)
            *kept = -1;
        else if (*kept > index)
            --*kept;
    }
    UpdateSelection();
    EventArgs deleted;
    deleted.sender = row;
    FireEvent("listitem_delete", deleted);
    delete row;
    LayoutRows();
    Invalidate();
}

void wtlist::Draw()
{
    if (m_fade_in.IsRunning())
        m_fade_in.Step();
    if (m_zoom_in.IsRunning())
        m_zoom_in.Step();
    if (m_layout_countdown > 0) {
        --m_layout_countdown;
        Invalidate();
    }
    m_scroll.Step();
    if (m_flight.IsRunning())
        StepFlight();
    if (m_removing)
        StepCollapse();
    window::Draw();
}

// The background, then the shown rows moved by the scroll (and, below a
// collapsing row, up by what it has given back).
void wtlist::DrawChildren()
{
    if (widget* background = GetBackground(); background && background->IsVisible())
        background->Draw();
    const float offset = GetScrollOffset();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        wtlistitem& row = *m_rows[i];
        if (!row.IsVisible() || !row.IsShown())
            continue;
        float y = row.GetY() - offset;
        if (m_removing && int(i) > m_removing_index)
            y += m_collapse_height - m_rows[std::size_t(m_removing_index)]->GetHeight();
        if (m_removing && int(i) == m_removing_index)
            continue;
        DrawListRow(row, y, m_zoom, GetSize());
    }
}

}
