#include "toolkit/controls/wtreenode.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <cmath>

namespace UI {
namespace {

constexpr float Indent = 5;

// Renames happen on the UI thread only.
wtreenode*& edited_node()
{
    static wtreenode* node = nullptr;
    return node;
}

}  // namespace

wtreenode::wtreenode(std::string name) : window(std::move(name)), m_highlight(new wimage("wimage_rssitemhighlight"))
{
    SetClipHitsToParent(false);
    m_highlight->SetPicture("rsstreenodehighlight", {8, 8, 8, 8});
    m_highlight->SetPos(5, 0);
    AddChild(m_highlight);
    m_highlight->SetSizeRule(3, 1, 10, m_node_height);
    m_highlight->Show(false);
}

wtreenode::~wtreenode()
{
    if (edited_node() == this)
        edited_node() = nullptr;
    // A parent being destroyed is no node any more here, and needs no telling.
    if (auto* parent = dynamic_cast<wtreenode*>(GetParent())) {
        CMutexGuard hold(WidgetMutex());
        std::erase(parent->m_nodes, this);
    }
}

void wtreenode::RemoveChild(widget* child)
{
    {
        CMutexGuard hold(WidgetMutex());
        std::erase(m_nodes, child);
    }
    window::RemoveChild(child);
}

wtreenode* wtreenode::GetEditedNode() { return edited_node(); }

void wtreenode::AddNode(wtreenode* child)
{
    {
        CMutexGuard hold(WidgetMutex());
        m_nodes.push_back(child);
    }
    AddChild(child);
    child->Show(!m_collapsed);
    child->GetEvent("treenode_clicked", true)->Subscribe(&wtreenode::OnNodeClicked, this);
    child->GetEvent("treenode_dbclicked", true)->Subscribe(&wtreenode::OnNodeDoubleClicked, this);
    child->GetEvent("treenode_sizechange", true)->Subscribe(&wtreenode::OnSizeChange, this);
}

void wtreenode::ClearNodes()
{
    std::vector<wtreenode*> nodes;
    {
        CMutexGuard hold(WidgetMutex());
        nodes.swap(m_nodes);
    }
    for (wtreenode* node : nodes) {
        RemoveChild(node);
        delete node;
    }
}

void wtreenode::SetCollapsed(bool collapsed)
{
    m_collapsed = collapsed;
    for (wtreenode* node : m_nodes) node->Show(!collapsed);
}

void wtreenode::LayoutNodes()
{
    float y = m_child_top;
    for (wtreenode* node : m_nodes) {
        node->SetPos(0, y);
        node->SetSize(GetWidth(), m_node_height);
        y += std::trunc(m_node_height + node->GetExtent());
    }
}

float wtreenode::GetExtent()
{
    if (m_collapsed)
        return 0;
    float y = 0;
    for (wtreenode* node : m_nodes) {
        node->SetPos(Indent, m_child_top + y);
        y += std::trunc(m_node_height + node->GetExtent());
    }
    return y;
}

void wtreenode::SetSelected(bool selected)
{
    m_highlight->Show(selected);
    m_selected = selected;
}

void wtreenode::SelectNode(const wtreenode* node)
{
    for (wtreenode* child : m_nodes) child->SetSelected(child == node);
}

void wtreenode::Fire(const char* name)
{
    ValueEventArgs args;
    args.sender = this;
    args.value = m_value;
    FireEvent(name, args);
}

bool wtreenode::OnNodeClicked(EventArgs& e)
{
    for (wtreenode* child : m_nodes) child->SetSelected(child == e.sender);
    ValueEventArgs args;
    args.sender = e.sender;
    args.value = m_value;
    FireEvent("treenode_clicked", args);
    return false;
}

bool wtreenode::OnNodeDoubleClicked(EventArgs& e)
{
    ValueEventArgs args;
    args.sender = e.sender;
    args.value = static_cast<ValueEventArgs&>(e).value;
    FireEvent("treenode_dbclicked", args);
    Invalidate();
    return false;
}

bool wtreenode::OnSizeChange(EventArgs&)
{
    Fire("treenode_sizechange");
    return false;
}

void wtreenode::BeginEdit(bool start)
{
    wtreenode*& edited = edited_node();
    if (edited && edited != this && edited->m_edit) {
        wtreenode* ended = edited;
        edited = nullptr;
        ended->m_edit->SetEditable(false);
        ended->Fire("treenode_textchange");
    }
    if (start && m_editable) {
        edited = this;
        if (m_edit)
            m_edit->SetEditable(true);
    }
}

void wtreenode::OnMouseDown(MouseEventArgs& e)
{
    BeginEdit(false);
    e.handled = 1;
    Fire("treenode_clicked");
    Invalidate();
}

void wtreenode::OnDoubleClick(MouseEventArgs& e)
{
    BeginEdit(true);
    e.handled = 1;
    SetCollapsed(!m_collapsed);
    Fire("treenode_dbclicked");
}

}
