// A row of a list: a window of text and picture cells that reports the
// pointer moving over it ("listitem_moveto") and clicks ("listitem_click").
// The cells are mouse-transparent, so the row gets the mouse.
#pragma once

#include "toolkit/widgets/window.h"

namespace UI {

class wlistitem : public window {
public:
    explicit wlistitem(std::string name);

    // A cell already at (x, y) is replaced, so setting a cell again never stacks two.
    virtual wtext* AddText(const WCHAR* text, float x, float y, float width, float height);
    wimage* AddImage(const std::string& picture, float x, float y, float width, float height);

    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;

protected:
    // The value a click reports in "listitem_click".
    virtual intptr_t ClickValue() const { return 0; }

private:
    void RemoveCellAt(float x, float y);

    std::string m_font{"font_s12"};
    std::vector<widget*> m_cells;   // children
};

}
