// A node of an expandable tree: a window that stacks its child nodes below
// its own row, collapses, shows a highlight when selected and renames its
// label in place. It reports "treenode_clicked", "treenode_dbclicked",
// "treenode_textchange" and "treenode_sizechange" with its node value.
//
// A node's child nodes are widget children: the widget tree owns them, the
// node's list only orders them. One node at a time is being renamed.
#pragma once

#include "toolkit/widgets/window.h"

#include <vector>

namespace UI {

class wtreenode : public window {
public:
    explicit wtreenode(std::string name);
    ~wtreenode() override;

    // Appends under the widget lock and listens to the child's clicks, double clicks and size changes.
    void AddNode(wtreenode* child);
    virtual void ClearNodes();
    virtual void SetCollapsed(bool collapsed);
    bool IsCollapsed() const { return m_collapsed; }
    // For the top node: its children from the child top down, each as wide as this node.
    virtual void LayoutNodes();
    // The height of the expanded children below the node's own row (0 when collapsed); places them.
    virtual float GetExtent();
    virtual bool OnNodeDoubleClicked(EventArgs& e);
    virtual bool OnNodeClicked(EventArgs& e);
    virtual bool OnSizeChange(EventArgs& e);
    virtual void SetSelected(bool selected);
    virtual void SelectNode(const wtreenode* node);
    virtual bool IsSelected() const { return m_selected; }
    // Ends another node's rename (wherever the click was); starts this one's when asked and editable.
    virtual void BeginEdit(bool start);

    void SetEditable(bool editable) { m_editable = editable; }
    // The text field a rename edits; a child of the node, made by the derived node.
    void SetEditWidget(wtext* field) { m_edit = field; }
    void SetNodeValue(int value) { m_value = value; }
    int GetNodeValue() const { return m_value; }
    const std::vector<wtreenode*>& GetNodes() const { return m_nodes; }
    // The node being renamed, or null.
    static wtreenode* GetEditedNode();

    // A child node taken out (or deleted) also leaves the node list.
    void RemoveChild(widget* child) override;
    void OnMouseDown(MouseEventArgs& e) override;
    void OnDoubleClick(MouseEventArgs& e) override;

protected:
    // For nodes that fold and mark their selection themselves.
    wimage* GetHighlight() const { return m_highlight; }
    float GetNodeHeight() const { return m_node_height; }
    float GetChildTop() const { return m_child_top; }
    void SetChildTop(float top) { m_child_top = top; }
    // The flags alone: no child is shown or hidden, no highlight changes.
    void SetCollapsedFlag(bool collapsed) { m_collapsed = collapsed; }
    void SetSelectedFlag(bool selected) { m_selected = selected; }

private:
    void Fire(const char* name);

    wimage* m_highlight;                // a child
    wtext* m_edit{nullptr};             // a child
    std::vector<wtreenode*> m_nodes;    // children; guarded by WidgetMutex
    bool m_collapsed{true};
    bool m_editable{false};
    bool m_selected{false};
    int m_value{0};
    float m_node_height{24};
    float m_child_top{24};
};

}
