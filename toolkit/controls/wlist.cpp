#include "toolkit/controls/wlist.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wlistitem.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/widgets/CMutexGuard.h"

#include <algorithm>
#include <cmath>

namespace UI {
namespace {

constexpr float ScrollRange = 1000;

float marker_at(MarkerPlace place, float row_start, float row_length, float marker_length, float offset)
{
    switch (place) {
    case MarkerPlace::FarEdge: return row_start + row_length - marker_length - offset;
    case MarkerPlace::Centred: return row_start + (row_length - marker_length) / 2;
    default: return row_start + offset;
    }
}

}  // namespace

wlist::wlist(std::string name) : window(std::move(name)) {}

wlistitem* wlist::GetRow(int index) const
{
    return index >= 0 && index < GetRowCount() ? m_rows[std::size_t(index)] : nullptr;
}

void wlist::SetSkin(const wlistskin& skin)
{
    m_row_height = skin.row_height;
    SetSize(skin.width, skin.height);
    const std::string& name = GetName();
    if (!skin.background.empty()) {
        m_background = new wimage(name + "_background");
        m_background->SetPicture(skin.background, {5, 5, 5, 5});
        AddChild(m_background);
        m_background->SetPosRule(1, 1, 0, 0);
        m_background->SetSizeRule(2, 2, 0, 0);
    }
    if (!skin.up_button.empty())
        m_up = AddScrollButton("_listbtnup", skin.up_button, 1, &wlist::OnUpClicked);
    if (!skin.down_button.empty())
        m_down = AddScrollButton("_listbtndown", skin.down_button, 2, &wlist::OnDownClicked);
    if (!skin.highlight.empty()) {
        m_highlight = new wimage(name + "_highlight");
        m_highlight->SetPicture(skin.highlight, {5, 5, 5, 5});
        AddChild(m_highlight);
        m_highlight->SetPos(0, 0);
        // Shown once the pointer is over a row.
        m_highlight->Show(false);
    }
    if (!skin.thumb.empty()) {
        const float up_height = m_up ? m_up->GetHeight() : 0, down_height = m_down ? m_down->GetHeight() : 0;
        m_scroll_bar = new wsliderbar(name + "_listscrollbar");
        m_scroll_bar->SetOrientation(wsliderbar::Downward);
        m_scroll_bar->SetRange(ScrollRange);
        m_scroll_bar->SetSkin(skin.thumb, skin.track);
        if (RenderEngine::picture* thumb = SkinPicture(skin.thumb + "_highlight"))
            m_thumb_height = thumb->m_height;
        AddChild(m_scroll_bar);
        m_scroll_bar->SetPosRule(2, 1, 0, up_height);
        m_scroll_bar->SetSizeRule(1, 3, ScrollColumnWidth(), up_height + down_height);
        m_scroll_bar->GetEvent("slider_moveto", true)->Subscribe(&wlist::OnScrolled, this);
        ResizeScrollBar();
    }
    if (m_highlight) {
        // Beside the scroll column, never over it.
        const float column = ScrollColumnWidth();
        m_highlight->SetSizeRule(3, 1, m_up ? column + 4 : std::max(column, 0.1f), m_row_height);
    }
    Invalidate();
    FitRows();
    m_first_row = 0;
}

// At the right edge, at the top (rule 1) or the bottom (rule 2).
wbtn* wlist::AddScrollButton(const std::string& suffix, const std::string& skin, int y_rule,
                             bool (wlist::*handler)(EventArgs&))
{
    auto* button = new wbtn(GetName() + suffix);
    button->SetSkinByName(skin);
    AddChild(button);
    button->SetPosRule(2, y_rule, 0, 0);
    button->GetEvent("button_clicked", true)->Subscribe(handler, this);
    return button;
}

// As wide as the up button; a list without buttons gives the bar its thumb's width.
float wlist::ScrollColumnWidth() const
{
    if (m_up)
        return m_up->GetWidth();
    widget* thumb = m_scroll_bar ? m_scroll_bar->GetThumb() : nullptr;
    return thumb ? thumb->GetWidth() : 0;
}

void wlist::SetSelectionMarker(widget* marker, MarkerPlace across, MarkerPlace down, fpoint offset)
{
    delete m_marker;
    m_marker = marker;
    m_marker_across = across;
    m_marker_down = down;
    m_marker_offset = offset;
    marker->Show(false);
    AddChild(marker);
}

// A row height of 0 fits no rows rather than dividing by it.
void wlist::FitRows() { m_rows_fit = m_row_height > 0 ? int(GetHeight() / m_row_height) : 0; }

void wlist::OnSizeChanged()
{
    window::OnSizeChanged();
    FitRows();
    if (m_row_height > 0)
        SetHeight(float(m_rows_fit) * m_row_height);
    window::OnSizeChanged();
}

wlistitem* wlist::RowFor(int row)
{
    if (wlistitem* existing = GetRow(row))
        return existing;
    if (row != GetRowCount())
        return nullptr;
    auto* made = new wlistitem(GetName() + "-row");
    AddChild(made);
    made->GetEvent("listitem_moveto", true)->Subscribe(&wlist::OnItemMove, this);
    made->GetEvent("listitem_click", true)->Subscribe(&wlist::OnItemClick, this);
    made->SetPos(0, float(row) * m_row_height);
    made->SetSize(GetWidth() - ScrollColumnWidth(), m_row_height);
    m_rows.push_back(made);
    ResizeScrollBar();
    return made;
}

void wlist::SetItemText(int column, int row, const WCHAR* text)
{
    if (column < 0 || std::size_t(column) >= m_columns.size())
        return;
    if (wlistitem* item = RowFor(row)) {
        const frect& cell = m_columns[std::size_t(column)];
        item->AddText(text, cell.x, cell.y, cell.width, cell.height);
    }
    Invalidate();
}

void wlist::SetItemImage(int column, int row, const std::string& picture)
{
    if (column < 0 || std::size_t(column) >= m_columns.size())
        return;
    if (wlistitem* item = RowFor(row)) {
        const frect& cell = m_columns[std::size_t(column)];
        item->AddImage(picture, cell.x, cell.y, cell.width, cell.height);
    }
    Invalidate();
}

void wlist::ResizeScrollBar()
{
    widget* thumb = m_scroll_bar ? m_scroll_bar->GetThumb() : nullptr;
    if (!thumb)
        return;
    const float available =
        GetHeight() - (m_up ? m_up->GetHeight() : 0) - (m_down ? m_down->GetHeight() : 0);
    float length = m_rows.empty() ? available : std::trunc(available * float(m_rows_fit) / float(m_rows.size()));
    length = std::max(std::min(length, available), m_thumb_height);
    thumb->SetSize(thumb->GetWidth(), length);
    static_cast<wbtn*>(thumb)->SetBorders(2, 5, 2, 5);
}

void wlist::FirstRowFromSlider(float value)
{
    const float hidden = float(GetRowCount() - m_rows_fit);
    m_first_row = std::max(0, int(hidden * value / ScrollRange + 0.4f));
    Invalidate();
}

// All rows fitting, or rows of no height, leave nothing to scroll (and nothing to divide by).
void wlist::ScrollByButton(int rows)
{
    const int hidden = GetRowCount() - m_rows_fit;
    if (!m_scroll_bar || m_scroll_bar->IsPressed() || hidden <= 0 || m_row_height <= 0)
        return;
    m_scroll_bar->UpdateValue(m_scroll_bar->GetValue() + float(rows) * ScrollRange / float(hidden));
    FirstRowFromSlider(m_scroll_bar->GetValue());
}

bool wlist::OnUpClicked(EventArgs&)
{
    ScrollByButton(-1);
    return false;
}

bool wlist::OnDownClicked(EventArgs&)
{
    ScrollByButton(1);
    return false;
}

bool wlist::OnScrolled(EventArgs& e)
{
    FirstRowFromSlider(float(static_cast<ValueEventArgs&>(e).value));
    return false;
}

bool wlist::OnItemMove(EventArgs& e)
{
    const auto found = std::find(m_rows.begin(), m_rows.end(), e.sender);
    if (found == m_rows.end() || !m_highlight)
        return false;
    const int index = int(found - m_rows.begin());
    widget* row = *found;
    if (index >= m_first_row + m_rows_fit || row->GetY() + row->GetHeight() > GetHeight())
        return false;
    m_highlight->SetPos(row->GetX(), row->GetY());
    m_highlight->SetSize(row->GetWidth(), row->GetHeight());
    m_highlight->Show(true);
    Invalidate();
    return true;
}

bool wlist::OnItemClick(EventArgs& e)
{
    const auto found = std::find(m_rows.begin(), m_rows.end(), e.sender);
    if (found == m_rows.end())
        return false;
    widget* row = *found;
    if (m_marker) {
        m_marker->SetPos(
            marker_at(m_marker_across, row->GetX(), row->GetWidth(), m_marker->GetWidth(), m_marker_offset.x),
            marker_at(m_marker_down, row->GetY(), row->GetHeight(), m_marker->GetHeight(), m_marker_offset.y));
        m_marker->Show(true);
    }
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.value = int(found - m_rows.begin()) + m_first_row;
    clicked.reserved = static_cast<ValueEventArgs&>(e).reserved;
    FireEvent("list_click", clicked);
    Invalidate();
    return false;
}

// Chrome first, then the rows shifted by the first visible row and clipped
// to the list beside the scroll column.
void wlist::DrawChildren()
{
    for (widget* chrome : {static_cast<widget*>(m_background), static_cast<widget*>(m_scroll_bar),
                           static_cast<widget*>(m_up), static_cast<widget*>(m_down),
                           static_cast<widget*>(m_highlight), m_marker})
        if (chrome && chrome->IsVisible())
            chrome->Draw();
    const fpoint origin = GetDrawOrigin();
    RenderEngine::PushClipRect(
        {origin.x, origin.y, origin.x + GetWidth() - ScrollColumnWidth() - 10, origin.y + GetHeight() - 1});
    const float shift = float(m_first_row) * m_row_height;
    for (wlistitem* row : m_rows) {
        const float y = row->GetY();
        if (row->IsVisible() && y - shift >= 0 && y - shift <= GetHeight()) {
            row->SetY(y - shift);
            row->UpdateDrawOrigin();
            row->Draw();
            row->SetY(y);
            row->UpdateDrawOrigin();
        }
    }
    RenderEngine::PopClipRect();
}

}
