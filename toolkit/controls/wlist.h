// The toolkit's scrolling list: rows (wlistitem) laid out once at a fixed
// height and shifted by the first visible row when drawn, with skinned
// chrome: a background, a highlight that follows the pointer, up and down
// buttons and a vertical scroll bar. A click on a row fires "list_click"
// with the row's index (the scroll added) and the row's click value.
#pragma once

#include "toolkit/widgets/window.h"

#include <vector>

namespace UI {

class wlistitem;

struct wlistskin {
    std::string up_button;      // strip bases of the buttons
    std::string down_button;
    std::string highlight;      // pictures
    std::string background;
    std::string thumb;          // strip base of the scroll thumb
    std::string track;          // picture
    float width{0};
    float height{0};
    float row_height{20};
};

// Where the selection marker sits on a row, across and down.
enum class MarkerPlace { Offset = 1, FarEdge = 2, Centred = 4 };

class wlist : public window {
public:
    explicit wlist(std::string name);

    virtual void SetItemImage(int column, int row, const std::string& picture);
    virtual void SetItemText(int column, int row, const WCHAR* text);
    virtual bool OnItemMove(EventArgs& e);
    virtual bool OnItemClick(EventArgs& e);

    void SetSkin(const wlistskin& skin);
    // The cell rectangle of each column, inside a row.
    void SetColumns(std::vector<frect> cells) { m_columns = std::move(cells); }
    // Shown on the clicked row; the list owns it as a child.
    void SetSelectionMarker(widget* marker, MarkerPlace across, MarkerPlace down, fpoint offset);

    int GetRowCount() const { return int(m_rows.size()); }
    int GetRowsThatFit() const { return m_rows_fit; }
    int GetFirstVisibleRow() const { return m_first_row; }
    wlistitem* GetRow(int index) const;
    wbtn* GetUpButton() const { return m_up; }
    wbtn* GetDownButton() const { return m_down; }
    wsliderbar* GetScrollBar() const { return m_scroll_bar; }

    void OnSizeChanged() override;

protected:
    void DrawChildren() override;
    wimage* GetBackground() const { return m_background; }

private:
    wbtn* AddScrollButton(const std::string& suffix, const std::string& skin, int y_rule,
                          bool (wlist::*handler)(EventArgs&));
    bool OnUpClicked(EventArgs&);
    bool OnDownClicked(EventArgs&);
    bool OnScrolled(EventArgs& e);
    wlistitem* RowFor(int row);
    void ScrollByButton(int rows);
    void FirstRowFromSlider(float value);
    void ResizeScrollBar();
    float ScrollColumnWidth() const;
    void FitRows();

    widget* m_marker{nullptr};   // children, null until made
    wbtn* m_up{nullptr};
    wbtn* m_down{nullptr};
    wimage* m_background{nullptr};
    wimage* m_highlight{nullptr};
    wsliderbar* m_scroll_bar{nullptr};
    MarkerPlace m_marker_across{MarkerPlace::Offset};
    MarkerPlace m_marker_down{MarkerPlace::Offset};
    fpoint m_marker_offset{0, 0};
    std::vector<wlistitem*> m_rows;   // children, in order
    std::vector<frect> m_columns;
    float m_row_height{20};
    float m_thumb_height{0};          // the thumb picture's
    int m_rows_fit{0};
    int m_first_row{0};
};

}
