// A check or radio button: a mark shown while selected, optional pictures
// for either state, and an optional group in which one member is selected.
// A click toggles it and fires "selectbtn_clicked" with the new state.
#pragma once

#include "toolkit/widgets/widget.h"

#include <vector>

namespace UI {

class wselectbtn;
using SelectGroup = std::vector<wselectbtn*>;

class wselectbtn : public widget {
public:
    // Style 0: the image child shows only while unselected; 3: the unselected
    // picture while unselected and the selected one while selected; 5: the
    // unselected picture only while unselected.
    explicit wselectbtn(std::string name, int style = 0);

    // Children the screens made and added; the tree owns them.
    void SetMark(widget* mark) { m_mark = mark; }
    void SetImage(widget* image) { m_image = image; }
    void SetStateImages(widget* unselected, widget* selected);
    // The group outlives its members; null for none.
    void SetGroup(SelectGroup* group) { m_group = group; }

    bool IsSelected() const { return m_selected; }
    void SetSelected(bool selected);

    void OnMouseUp(MouseEventArgs& e) override;

private:
    static void show(widget* w, bool on);

    int m_style;
    widget* m_mark{nullptr};
    widget* m_image{nullptr};
    widget* m_unselected_image{nullptr};
    widget* m_selected_image{nullptr};
    SelectGroup* m_group{nullptr};
    bool m_selected{false};
};

}
