#pragma once
// A pane with a 21 px title bar that folds to its bar and unfolds again, each
// in 500 ms whatever the distance. A click on the bar fires
// "titlewindow-click", a size change (not the fold's own steps)
// "titlewindow-sizechange", on the pane and globally, with the pane as sender.

#include "toolkit/widgets/ATimeLine.h"
#include "toolkit/widgets/keyframe.h"
#include "toolkit/widgets/window.h"

namespace UI {

class wimage;
class wtlist;

class wtitlewindow : public window {
public:
    static constexpr float TitleHeight = 21;
    static constexpr int FoldMs = 500;

    explicit wtitlewindow(std::string name);
    ~wtitlewindow() override;

    // The title bar and the content pane, children of this window.
    window* TitleBar() const { return m_title_bar; }
    window* Content() const { return m_content; }
    // The pane's list, inside the content; its height follows the pane's.
    void SetList(wtlist* list, float upper_height);
    wtlist* GetList() const { return m_list; }
    // A widget of the content (the drag hint) shown only while the list has
    // no row: the list lies over it and its rows would be written through.
    void SetEmptyHint(widget* hint) { m_empty_hint = hint; }
    void SetFoldable(bool foldable) { m_foldable = foldable; }
    bool IsFoldable() const { return m_foldable; }
    // Folds to the title bar or unfolds to the last size given.
    void SetFolded(bool folded);
    bool IsFolded() const { return m_folded; }
    float UnfoldedHeight() const { return m_unfolded_height; }
    // What the pane takes in a stack: the bar when folded, else its unfolded height.
    float StackHeight() const;

    void OnSizeChanged() override;
    void Draw() override;

private:
    bool OnTitleClick(EventArgs& e);

    window* m_title_bar;
    window* m_content;
    wimage* m_arrow;
    wtlist* m_list{nullptr};
    widget* m_empty_hint{nullptr};   // a child of the content, or none
    float m_list_top{0};
    bool m_foldable{true};
    bool m_folded{false};
    float m_unfolded_height{0};
    widget_keyframe m_fold{this};
    ATimeLine m_fold_line;
};

}
