#include "screens/tree/wrsstree.h"

#include "toolkit/controls/wimage.h"

namespace UI {
namespace {

constexpr float ChildTop = 5;
constexpr float BelowLast = 62;

}  // namespace

wrsstree::wrsstree(std::string name) : wrsstreenode(std::move(name)), m_background(new wimage("rss-treewindow-bk"))
{
    m_background->SetPicture("rss-treewindow-bk", {8, 8, 100, BelowLast});
    AddChild(m_background);
    m_background->SetZOrder(0);
    m_background->SetSizeRule(2, 0, -1, -1);
    // Folders are not clipped to the root: its height is its layout's, not its folders'.
    SetClipToBounds(false);
    MakeRoot(ChildTop);
}

void wrsstree::LayoutNodes()
{
    float y = 0;
    for (wtreenode* n : GetNodes()) {
        auto* node = static_cast<wrsstreenode*>(n);
        node->SetPos(0, y + GetChildTop());
        node->UpdateBounds(node->IsCollapsed() && !node->GetFolderMove().IsRunning() ? GetNodeHeight() : -1);
        y += GetNodeHeight() + node->GetExtent();
    }
    m_background->SetSize(GetWidth(), y + BelowLast);
    Invalidate();
}

bool wrsstree::OnSizeChange(EventArgs&)
{
    LayoutNodes();
    return false;
}

void wrsstree::OnSizeChanged()
{
    wrsstreenode::OnSizeChanged();
    LayoutNodes();
}

}
