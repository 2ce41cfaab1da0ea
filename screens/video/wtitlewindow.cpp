#include "screens/video/wtitlewindow.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/genericlist/wtlist.h"

#include <algorithm>

namespace UI {

wtitlewindow::wtitlewindow(std::string name)
    : window(std::move(name)), m_title_bar(new window(GetName() + "-title")), m_content(new window(GetName() + "-content")),
      m_arrow(new wimage(GetName() + "-arrow"))
{
    m_title_bar->SetSize(0, TitleHeight);
    AddChild(m_title_bar);
    m_title_bar->SetPosRule(1, 1, 0, 0);
    m_title_bar->SetSizeRule(2, 1, 0, TitleHeight);
    m_title_bar->GetEvent("window_click", true)->Subscribe(&wtitlewindow::OnTitleClick, this);
    m_arrow->SetPicture("rsstreefoldernodearrow");
    m_arrow->SetMouseTransparent(true);
    m_title_bar->AddChild(m_arrow);
    m_arrow->SetPosRule(2, 4, 6, 0);
    AddChild(m_content);
    m_content->SetPosRule(1, 1, 0, TitleHeight);
    m_content->SetSizeRule(2, 3, 0, TitleHeight);
    m_fold_line.AddKeyframe(m_fold);
}

wtitlewindow::~wtitlewindow() { GetAnimationMgr().StopAll(); }

// Rows come and go on the download and sync threads; the frame reads the
// count under the same render lock, so the hint follows it without a hook.
void wtitlewindow::Draw()
{
    if (m_empty_hint) m_empty_hint->Show(!m_list || m_list->GetRowCount() == 0);
    window::Draw();
}

void wtitlewindow::SetList(wtlist* list, float upper_height)
{
    m_list = list;
    m_list_top = upper_height;
    m_content->AddChild(list);
    list->SetPosRule(1, 1, 0, upper_height);
    OnSizeChanged();
}

float wtitlewindow::StackHeight() const
{
    if (!m_foldable) return GetHeight();
    return m_folded ? TitleHeight : m_unfolded_height;
}

void wtitlewindow::SetFolded(bool folded)
{
    if (!m_foldable) return;
    m_folded = folded;
    m_fold.Init(KeyHeight, 0, FoldMs, folded ? m_unfolded_height : TitleHeight,
                folded ? TitleHeight : m_unfolded_height);
    // A fold under way is replaced: the timeline stays, the keyframe starts over.
    m_fold.SetState(KeyframeNew);
    m_fold_line.AddKeyframe(m_fold);
    GetAnimationMgr().RemoveTimeLine(m_fold_line);
    GetAnimationMgr().AddTimeLine(m_fold_line);
    m_arrow->Show(!folded);
    m_content->Show(!folded);
    m_title_bar->UpdateLayout();
    Invalidate();
}

bool wtitlewindow::OnTitleClick(EventArgs&)
{
    EventArgs click;
    click.sender = this;
    FireEvent("titlewindow-click", click);
    return true;
}

void wtitlewindow::OnSizeChanged()
{
    window::OnSizeChanged();
    if (const widget* parent = GetParent(); parent && GetHeight() > parent->GetHeight())
        SetHeight(parent->GetHeight());
    if (m_list) m_list->SetSize(GetWidth(), std::max(0.0f, GetHeight() - m_list_top - TitleHeight));
    if (!m_fold_line.IsDone()) return;   // the fold's own steps are not a size to unfold to
    m_unfolded_height = GetHeight();
    EventArgs changed;
    changed.sender = this;
    FireEvent("titlewindow-sizechange", changed);
}

}
