// A multi-state status picture: one child image per state number, and an
// optional highlight shown in state 0 while highlighted.
#pragma once

#include "toolkit/widgets/widget.h"

#include <map>

namespace UI {

class wimage;

class wstatus : public widget {
public:
    explicit wstatus(std::string name);

    // An empty picture name adds nothing.
    void AddState(int state, const std::string& picture);
    void SetHighlightPicture(const std::string& picture);
    void SetHighlighted(bool highlighted);
    // The screens set the state directly; -1 shows nothing.
    int m_state{-1};

    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    void OnMouseEnter() override;
    void Draw() override;

private:
    std::map<int, wimage*> m_images;   // children
    wimage* m_highlight{nullptr};      // a child
    bool m_highlighted{false};
};

}
