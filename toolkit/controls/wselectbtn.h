// A check or radio button: a mark shown while selected, optional pictures
// for either state, and an optional group in which one member is selected.
// A click toggles it and fires "selectbtn_clicked" with the new state.
#pragma once

#include "toolkit/widgets/widget.h"

#include <string>
#include <vector>

namespace UI {

class wimage;
class wtext;
class wselectbtn;
using SelectGroup = std::vector<wselectbtn*>;

class wselectbtn : public widget {
public:
    // Style 0: the image child shows only while unselected; 3: the unselected
    // picture while unselected and the selected one while selected; 5: the
    // unselected picture only while unselected.
    explicit wselectbtn(std::string name, int style = 0);

    // Builds the children at the button's current size, each part optional
    // (empty names, null text): a background, a hover picture shown instead
    // of it while the mouse is over the button, a centred caption in
    // "font_s16" and a mark shown while selected. Pictures narrower than the
    // button stretch as nine-grids of 9 px borders.
    void Setup(const std::string& background, const std::string& hover, const WCHAR* text, const std::string& mark);

    // Children the screens made and added; the tree owns them.
    void SetMark(widget* mark) { m_mark = mark; }
    void SetImage(widget* image) { m_image = image; }
    // Shows the picture of the current state (styles 3 and 5).
    void SetStateImages(widget* unselected, widget* selected);
    // The group outlives its members; null for none.
    void SetGroup(SelectGroup* group) { m_group = group; }

    bool IsSelected() const { return m_selected; }
    void SetSelected(bool selected);

    void OnMouseUp(MouseEventArgs& e) override;
    void OnMouseEnter() override;
    void OnMouseLeave() override;

private:
    wimage* AddPicture(const char* name, const std::string& picture);

    static void show(widget* w, bool on);

    int m_style;
    widget* m_mark{nullptr};
    widget* m_image{nullptr};
    widget* m_unselected_image{nullptr};
    widget* m_selected_image{nullptr};
    SelectGroup* m_group{nullptr};
    wimage* m_background{nullptr};   // children made by Setup
    wimage* m_hover{nullptr};
    wtext* m_caption{nullptr};
    bool m_selected{false};
};

}
