#include "screens/tree/wrsstreenode.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wstatus.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/resMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <cmath>

namespace UI {
namespace {

constexpr float DepthOffset = 5;
constexpr float IconColumn = 22;
constexpr float TextOffset = 27;
constexpr float MinTextWidth = 120;
constexpr float StatusSize = 16;

wrsstreenode* node_at(const std::vector<wtreenode*>& nodes, std::size_t index)
{
    return index < nodes.size() ? static_cast<wrsstreenode*>(nodes[index]) : nullptr;
}

}  // namespace

wrsstreenode::wrsstreenode(std::string name) : wtreenode(std::move(name))
{
    // Children below the row are shown only as far as the node has unfolded.
    SetClipToBounds(true);
}

int wrsstreenode::GetDepth() const
{
    int depth = 0;
    for (const wrsstreenode* up = m_parentNode; up; up = up->m_parentNode) ++depth;
    return depth;
}

void wrsstreenode::MakeRoot(float child_top)
{
    SetChildTop(child_top);
    SetCollapsedFlag(false);
    SetSelectedFlag(true);
    SetMouseTransparent(true);
}

wrsstreenode* wrsstreenode::AddChildNode(const WCHAR* text, int64_t id, const std::string& icon)
{
    auto* child = new wrsstreenode(WideToAnsi(text ? text : u""));
    child->m_parentNode = this;
    const float d = static_cast<float>(child->GetDepth()) * DepthOffset;
    const float row = GetNodeHeight();
    child->SetSize(GetWidth(), row);
    AddNode(child);
    child->Show(true);
    if (!icon.empty()) {
        wimage* image = child->AddImage("node_icon", icon, 0, 0, 0, 0);
        image->SetPos(std::trunc((IconColumn - image->GetWidth()) / 2) + d, std::trunc((row - image->GetHeight()) / 2));
    }
    child->m_text = text ? text : u"";
    auto* label = new wtext("node-text");
    label->SetFont("font_a12b");
    label->SetColor({255, 255, 255});
    label->SetMouseTransparent(true);
    child->AddChild(label);
    label->SetText(child->m_text.c_str());
    label->SetWidth(std::max(MinTextWidth, label->GetTextSize().x));
    label->SetPos(d + TextOffset, std::trunc((row - label->GetHeight()) / 2));
    child->m_text_widget = label;
    child->SetEditWidget(label);
    child->m_id = id;
    child->MakePrefetchStatus(d);
    child->GetEvent("trssreenode_focuschange", true)->Subscribe(&wrsstreenode::OnChildFocusChange, this);
    // An opening node grows on to its new full height; a shown one takes the child at once.
    if (m_folderMove.IsRunning() && m_folderMove.GetDirection() == foldermoveAnimation::Opening)
        m_folderMove.Retarget();
    else
        UpdateBounds();
    ValueEventArgs changed;
    changed.sender = child;
    child->FireEvent("treenode_sizechange", changed);
    child->UpdateLayout();
    return child;
}

void wrsstreenode::MakePrefetchStatus(float offset)
{
    m_prefetch = new wstatus("rsstree-prefetch-wstatus");
    // Each state its own picture: one for both hid whether the channel is fetched ahead.
    m_prefetch->AddState(0, "icon_prefetchoff");
    m_prefetch->AddState(1, "icon_prefetchon");
    m_prefetch->SetHighlightPicture("icon_prefetchoff");
    m_prefetch->SetSize(StatusSize, StatusSize);
    m_prefetch->SetPos(offset + (14 - StatusSize) / 2, (GetNodeHeight() - StatusSize) / 2);
    AddChild(m_prefetch);
    m_prefetch->SetZOrder(1000);
    m_prefetch->Show(false);
    m_prefetch->GetEvent("button_clicked", true)->Subscribe(&wrsstreenode::OnPrefetchClicked, this);
}

bool wrsstreenode::OnPrefetchClicked(EventArgs& e)
{
    if (e.sender != m_prefetch) return false;
    ValueEventArgs prefetch;
    prefetch.sender = this;
    prefetch.value = static_cast<intptr_t>(m_id);
    FireEvent("rsstree_prefetch", prefetch);
    return true;
}

void wrsstreenode::SetPrefetchStatus(int state)
{
    m_prefetch->m_state = state;
    m_prefetch->Show(true);
    Invalidate();
}

bool wrsstreenode::RemoveChildNode(int64_t id)
{
    const auto& nodes = GetNodes();
    const auto found = std::find_if(nodes.begin(), nodes.end(),
                                    [id](const wtreenode* n) { return static_cast<const wrsstreenode*>(n)->m_id == id; });
    if (found == nodes.end()) return false;
    auto* child = static_cast<wrsstreenode*>(*found);
    const auto index = static_cast<std::size_t>(found - nodes.begin());
    child->SetWaiting(false);
    child->m_selfMove.Remove();
    wrsstreenode* neighbour = index > 0 ? node_at(nodes, index - 1) : node_at(nodes, index + 1);
    m_pendingChild = neighbour;
    if (neighbour) {
        StartHighlightMove();
    } else {
        // The last child goes: nothing is left to mark.
        GetBar()->Show(false);
        m_selectedChild = nullptr;
    }
    m_animationsOff = false;
    return true;
}

void wrsstreenode::DetachRemoved(wrsstreenode* child)
{
    const auto& nodes = GetNodes();
    const auto at = static_cast<std::size_t>(std::find(nodes.begin(), nodes.end(), child) - nodes.begin());
    RemoveChild(child);
    delete child;
    for (wrsstreenode** kept : {&m_selectedChild, &m_pendingChild})
        if (*kept == child) *kept = nullptr;
    const auto& left = GetNodes();
    wrsstreenode* next = at < left.size() ? node_at(left, at) : (left.empty() ? nullptr : node_at(left, left.size() - 1));
    if (next) {
        MouseEventArgs press;
        next->OnMouseDown(press);
    }
    ValueEventArgs changed;
    changed.sender = this;
    FireEvent("treenode_sizechange", changed);
}

wrsstreenode* wrsstreenode::FindChild(const char* text, const int64_t* id) const
{
    for (wtreenode* n : GetNodes()) {
        auto* node = static_cast<wrsstreenode*>(n);
        if ((text && node->GetName() == text) || (id && node->m_id == *id)) return node;
    }
    return nullptr;
}

void wrsstreenode::SetText(const WCHAR* text, const std::string& name)
{
    m_text = text ? text : u"";
    if (m_text_widget) {
        m_text_widget->SetWidth(0);
        m_text_widget->SetText(m_text.c_str());
        m_text_widget->SetWidth(std::max(MinTextWidth, m_text_widget->GetTextSize().x));
    }
    SetName(name);
    Invalidate();
}

bool wrsstreenode::CountsAsClosing() const
{
    return IsCollapsed() || (m_folderMove.IsRunning() && m_folderMove.GetDirection() == foldermoveAnimation::Closing);
}

bool wrsstreenode::CountsAsOpening() const
{
    return !IsCollapsed() || (m_folderMove.IsRunning() && m_folderMove.GetDirection() == foldermoveAnimation::Opening);
}

bool wrsstreenode::CanPassHighlight() const { return IsSelected() && CountsAsOpening(); }

int wrsstreenode::IndexOfChild(const wrsstreenode* node) const
{
    const auto& nodes = GetNodes();
    const auto found = std::find(nodes.begin(), nodes.end(), node);
    return found == nodes.end() ? -1 : static_cast<int>(found - nodes.begin());
}

void wrsstreenode::SetSelected(bool selected)
{
    SetSelectedFlag(selected);
    if (!selected) GetBar()->Show(false);
}

void wrsstreenode::SelectNode(const wtreenode* node)
{
    if (node == nullptr && m_parentNode) m_parentNode->wtreenode::SelectNode(this);
    wtreenode::SelectNode(node);
}

void wrsstreenode::SetCollapsed(bool collapsed)
{
    SetCollapsedFlag(collapsed);
    if (collapsed) UpdateBounds(GetNodeHeight());
    else UpdateBounds();
}

void wrsstreenode::OnMouseDown(MouseEventArgs& e)
{
    BeginEdit(false);
    e.handled = 1;
    if (m_parentNode == nullptr) return;
    // A highlight transfer still runs on the way up: the click waits for nothing.
    for (const wrsstreenode* up = this; up; up = up->m_parentNode)
        if (up->m_animationsOff) return;
    if (m_parentNode->CanPassHighlight() && IsSelected())
        ToggleFolder();
    else
        SelectThis();
    Invalidate();
}

void wrsstreenode::OnDoubleClick(MouseEventArgs& e)
{
    // The press before it already folds the node: a double click only starts a rename.
    BeginEdit(true);
    e.handled = 1;
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.value = static_cast<intptr_t>(m_id);
    FireEvent("treenode_dbclicked", clicked);
}

void wrsstreenode::ToggleFolder()
{
    m_animationsOff = false;
    if (CountsAsClosing())
        m_folderMove.Open(foldermoveAnimation::ActionClick);
    else
        m_folderMove.Close(foldermoveAnimation::ActionClick);
    m_pendingChild = nullptr;
    m_selectedChild = nullptr;
    SelectNode(nullptr);
    if (!GetNodes().empty()) StartHighlightMove();
}

void wrsstreenode::SelectThis()
{
    m_animationsOff = true;
    m_folderMove.Open(foldermoveAnimation::ActionClick);
    if (!GetNodes().empty()) StartHighlightMove();
    m_parentNode->PassSelection(this);
}

void wrsstreenode::PassSelection(wrsstreenode* child)
{
    const bool parent_passes = m_parentNode == nullptr || m_parentNode->CanPassHighlight();
    m_pendingChild = child;
    if (!parent_passes || !CanPassHighlight()) {
        // This node is not selected yet: its parent's highlight comes first.
        StartHighlightMove();
        if (m_parentNode) {
            m_animationsOff = true;
            m_parentNode->PassSelection(this);
        }
    } else if (wrsstreenode* open = m_selectedChild;
               open && open != child && open->CountsAsOpening() && !open->GetNodes().empty()) {
        // An open sibling folder closes first; its close moves the highlight.
        m_animationsOff = true;
        child->m_animationsOff = true;
        if (m_parentNode) m_parentNode->m_animationsOff = true;
        open->m_folderMove.SetFocusIndex(IndexOfChild(child));
        open->m_animationsOff = false;
        open->m_folderMove.Close(foldermoveAnimation::ActionFocus);
    } else {
        m_animationsOff = false;
        StartHighlightMove();
    }
    if (child->CountsAsClosing()) {
        child->m_animationsOff = true;
        child->m_folderMove.Open(foldermoveAnimation::ActionFocus);
    }
}

bool wrsstreenode::OnChildFocusChange(EventArgs&)
{
    StartHighlightMove();
    return false;
}

bool wrsstreenode::OnNodeClicked(EventArgs& e)
{
    ValueEventArgs clicked;
    clicked.sender = e.sender;
    clicked.value = static_cast<ValueEventArgs&>(e).value;
    FireEvent("treenode_clicked", clicked);
    return false;
}

void wrsstreenode::ClickFromCode()
{
    for (wrsstreenode* up = this; up; up = up->m_parentNode) up->m_animationsOff = false;
    MouseEventArgs none;
    OnMouseDown(none);
}

void wrsstreenode::StartHighlightMove()
{
    if (m_highlightMove.IsRunning()) m_highlightMove.SetState(KeyframeNew);
    m_highlightMove.Start();
}

float wrsstreenode::GetHighlightTarget() const { return m_pendingChild ? m_pendingChild->GetY() : 0; }

void wrsstreenode::FinishHighlightMove()
{
    if (m_pendingChild) {
        m_pendingChild->m_animationsOff = false;
        wtreenode::SelectNode(m_pendingChild);
        m_pendingChild->SelectNode(nullptr);
    } else {
        wtreenode::SelectNode(nullptr);
    }
    m_selectedChild = m_pendingChild;
    m_pendingChild = nullptr;
    OnHighlightMoved();
}

void wrsstreenode::OnHighlightMoved()
{
    m_animationsOff = false;
    if (m_pendingChild && m_selectedChild)
        StartHighlightMove();
    else if (m_selectedChild)
        m_selectedChild->m_animationsOff = false;
}

void wrsstreenode::OnFoldFinished(foldermoveAnimation& fold)
{
    const int direction = fold.GetDirection();
    if (direction == foldermoveAnimation::Closing) {
        SetCollapsedFlag(true);
        for (wrsstreenode* marked : {m_selectedChild, m_pendingChild})
            if (marked) marked->GetBar()->Show(false);
        // Opened again, the node shows no chosen child until one is clicked.
        GetBar()->Show(false);
        m_selectedChild = m_pendingChild = nullptr;
        wtreenode::SelectNode(nullptr);
    } else if (direction == foldermoveAnimation::Opening) {
        SetCollapsedFlag(false);
    }
    UpdateBounds(fold.GetValue());
    ValueEventArgs changed;
    changed.sender = this;
    FireEvent("treenode_sizechange", changed);
    const int action = fold.GetAction();
    if (action == foldermoveAnimation::ActionRemove) {
        m_removed = true;
        return;
    }
    const bool focus = (action == foldermoveAnimation::ActionFocus || action == foldermoveAnimation::ActionFocusOrClick) &&
                       direction == foldermoveAnimation::Closing && fold.GetFocusIndex() >= 0;
    ValueEventArgs args;
    args.sender = this;
    if (focus) {
        GetBar()->Show(false);
        if (m_parentNode) m_parentNode->m_animationsOff = false;
        args.value = fold.GetFocusIndex();
        fold.SetFocusIndex(-1);
        FireEvent("trssreenode_focuschange", args);
    } else if (action == foldermoveAnimation::ActionClick || action == foldermoveAnimation::ActionFocusOrClick) {
        args.value = static_cast<intptr_t>(m_id);
        FireEvent("treenode_clicked", args);
    }
}

float wrsstreenode::StackHeight(bool place)
{
    float total = 0;
    for (wtreenode* n : GetNodes()) {
        auto* node = static_cast<wrsstreenode*>(n);
        if (place) node->SetPos(0, total + GetChildTop());
        total += GetNodeHeight() + node->ContentHeight();
    }
    return total;
}

float wrsstreenode::ContentHeight()
{
    if (m_selfMove.IsRunning()) return m_selfMove.GetValue() - GetNodeHeight();
    if (m_folderMove.IsRunning()) {
        StackHeight(true);
        return m_folderMove.GetValue() - GetNodeHeight();
    }
    // Folded children still stand below the row, where the fold hides them.
    const float stacked = StackHeight(true);
    return IsCollapsed() ? 0 : stacked;
}

float wrsstreenode::GetExtent() { return ContentHeight(); }

float wrsstreenode::GetFullHeight()
{
    float total = GetNodeHeight();
    for (wtreenode* n : GetNodes()) total += GetNodeHeight() + static_cast<wrsstreenode*>(n)->ContentHeight();
    return total;
}

float wrsstreenode::GetShownHeight() { return ContentHeight() + GetNodeHeight(); }

void wrsstreenode::UpdateBounds(float height)
{
    const float width = m_parentNode ? m_parentNode->GetWidth() : GetWidth();
    // A node left without children shrinks to its row.
    if (height < 0) height = GetNodes().empty() && !m_selfMove.IsRunning() ? GetNodeHeight() : GetShownHeight();
    SetSize(width, height);
}

void wrsstreenode::StepChildren()
{
    std::vector<wrsstreenode*> gone;
    for (wtreenode* n : GetNodes()) {
        auto* node = static_cast<wrsstreenode*>(n);
        if (node->m_selfMove.IsRunning())
            node->m_selfMove.Step(FrameInterval);
        else if (!node->m_removed)
            node->UpdateBounds(node->IsCollapsed() ? GetNodeHeight() : -1);
        if (node->m_removed) gone.push_back(node);
    }
    for (wrsstreenode* node : gone) DetachRemoved(node);
}

void wrsstreenode::MarkHover(const widget* tried)
{
    for (wtreenode* n : GetNodes())
        if (wstatus* status = static_cast<wrsstreenode*>(n)->m_prefetch) status->SetHighlighted(n == tried);
}

widget* wrsstreenode::ChildAt(float x, float y)
{
    const float px = x - GetX();
    const float py = y - GetY();
    const std::vector<widget*> children = ChildrenInZOrder();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        widget* child = *it;
        if (!child->IsVisible()) continue;
        widget* hit = child->ChildAt(px, py);
        // A folded node's own row can be hit, nothing it folded away.
        if (auto* node = dynamic_cast<wrsstreenode*>(child);
            hit && node && node->IsCollapsed() && (hit->GetParent() != node || dynamic_cast<wrsstreenode*>(hit)))
            hit = nullptr;
        if (hit == nullptr && !child->IsMouseTransparent() && child->HitTest(px, py)) hit = child;
        if (hit) {
            MarkHover(child);
            return hit;
        }
    }
    MarkHover(nullptr);
    return nullptr;
}

void wrsstreenode::Draw()
{
    StepChildren();
    if (!m_animationsOff) {
        if (m_folderMove.IsRunning()) m_folderMove.Step(FrameInterval);
        if (m_highlightMove.IsRunning()) m_highlightMove.Step(FrameInterval);
    }
    window::Draw();
}

}
