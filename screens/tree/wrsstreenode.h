// A folder or channel of the channel tree: an icon, its title, a prefetch
// status icon, and its child nodes stacked below its own row. A node folds
// its children open and closed (foldermoveAnimation), slides its highlight
// bar to the child being selected (highlightmoveAnimation) and, when
// removed, folds itself away before it leaves its parent.
//
// A click hands the selection down a chain of nodes: the clicked node opens,
// an open sibling folder closes first, and each parent's bar glides to the
// child on the way. Nodes taking part wait (animationsOff) until the one
// before them is done, and clicks below a waiting node are ignored. The
// clicked node reports "treenode_clicked" with its id when its fold ends.
//
// Events fired on a node: "treenode_clicked" (value: the node id),
// "treenode_dbclicked", "treenode_sizechange", "trssreenode_focuschange"
// (value: the index of the child the highlight moves to) and
// "rsstree_prefetch" (its prefetch icon was clicked).
//
// Nodes are built and changed on the UI thread and drawn on the compose
// thread under the render lock; the child list changes under WidgetMutex.
#pragma once

#include "screens/tree/foldermoveAnimation.h"
#include "screens/tree/highlightmoveAnimation.h"
#include "toolkit/controls/wtreenode.h"

#include <cstdint>
#include <string>

namespace UI {

class wstatus;
class wtext;

class wrsstreenode : public wtreenode {
public:
    explicit wrsstreenode(std::string name);

    // A child node with the icon (none for an empty name) and the text, named
    // by the text in 8-bit form; the node grows to take it in (an opening
    // node glides on to its new full height).
    wrsstreenode* AddChildNode(const WCHAR* text, int64_t id, const std::string& icon);
    // Folds the child with that id away and hands the highlight to its
    // neighbour (the one before, or after for the first); false when no child has the id.
    bool RemoveChildNode(int64_t id);
    // The first child whose name is text (when given) or whose id is *id (when given).
    wrsstreenode* FindChild(const char* text, const int64_t* id) const;
    using wtreenode::FindChild;
    void SetText(const WCHAR* text, const std::string& name);
    std::u16string GetNodeText() const { return m_text; }
    // 0 or 1 shows that state of the prefetch icon.
    void SetPrefetchStatus(int state);
    int64_t GetId() const { return m_id; }
    wstatus* GetPrefetchStatus() const { return m_prefetch; }
    wtext* GetTextWidget() const { return m_text_widget; }
    // 1 for a child of the tree's root, one more per level below.
    int GetDepth() const;

    // The click of Algorithms: toggle the selected node, or select this one.
    void OnMouseDown(MouseEventArgs& e) override;
    void OnDoubleClick(MouseEventArgs& e) override;
    void OnMouseEnter() override {}
    void OnMouseLeave() override {}
    // A click from code: nothing on the chain waits any more.
    void ClickFromCode();
    void SetSelected(bool selected) override;
    void SelectNode(const wtreenode* node) override;
    void SetCollapsed(bool collapsed) override;
    // The children's stacked height below the row, as shown now (folds included); places them.
    float GetExtent() override;
    widget* ChildAt(float x, float y) override;
    // Reports a child's click up the tree; the selection is the highlight's business.
    bool OnNodeClicked(EventArgs& e) override;
    void Draw() override;

    bool CanPassHighlight() const;
    bool CountsAsOpening() const;
    bool CountsAsClosing() const;
    int IndexOfChild(const wrsstreenode* node) const;
    void SetWaiting(bool waiting) { m_animationsOff = waiting; }
    bool IsWaiting() const { return m_animationsOff; }
    wrsstreenode* GetParentNode() const { return m_parentNode; }
    wrsstreenode* GetSelectedChild() const { return m_selectedChild; }
    wrsstreenode* GetPendingChild() const { return m_pendingChild; }
    foldermoveAnimation& GetFolderMove() { return m_folderMove; }
    // The fold that takes the node away when it is removed.
    foldermoveAnimation& GetSelfMove() { return m_selfMove; }
    highlightmoveAnimation& GetHighlightMove() { return m_highlightMove; }

    // For the animations.
    // The row plus every child as if open and idle.
    float GetFullHeight();
    // The row plus the children as shown now.
    float GetShownHeight();
    // Resizes the node to its row and shown children (or to height when given).
    void UpdateBounds(float height = -1);
    void OnFoldFinished(foldermoveAnimation& fold);
    void OnHighlightMoved();
    // Where the bar goes: the y of the child the highlight moves to, else 0 (the node's own row).
    float GetHighlightTarget() const;
    // The bar glides from where it is to the highlight target (again, when it runs).
    void StartHighlightMove();
    void FinishHighlightMove();
    // The highlight bar over this node's rows (the node's own highlight picture).
    wimage* GetBar() const { return GetHighlight(); }
    float GetNodeRowHeight() const { return GetNodeHeight(); }

protected:
    // The tree root: a node with no parent node, its children from top.
    void MakeRoot(float child_top);
    // Steps each child's removal fold and lets a child that folded away go.
    void StepChildren();

private:
    void PassSelection(wrsstreenode* child);
    float StackHeight(bool place);
    void MarkHover(const widget* tried);
    void ToggleFolder();
    void SelectThis();
    void DetachRemoved(wrsstreenode* child);
    void MakePrefetchStatus(float offset);
    bool OnPrefetchClicked(EventArgs& e);
    bool OnChildFocusChange(EventArgs& e);
    float ContentHeight();

    std::u16string m_text;
    foldermoveAnimation m_folderMove{this};
    highlightmoveAnimation m_highlightMove{this};
    foldermoveAnimation m_selfMove{this};
    int64_t m_id{0};
    wstatus* m_prefetch{nullptr};        // a child
    wrsstreenode* m_parentNode{nullptr};
    wrsstreenode* m_selectedChild{nullptr};
    wrsstreenode* m_pendingChild{nullptr};
    bool m_animationsOff{false};
    bool m_removed{false};               // folded away: the parent lets it go at its next step
    wtext* m_text_widget{nullptr};       // a child
};

}
