#include "screens/video/wrightwindow.h"

#include "screens/video/wdownloadlist.h"
#include "screens/video/wsyncdevicelist.h"
#include "screens/video/wtitlewindow.h"

#include "components/common/services/RegRead.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"

#include <algorithm>

namespace UI {

wrightwindow::wrightwindow() : window("window-right")
{
    SetZOrder(0);
}

namespace {

constexpr float pane_width = 199;
constexpr const char16_t* drag_hint = u"Drag thumnail here.";

// The bar's background, icon, button and caption; the bar keeps to the pane's width.
void dress_title_bar(window& bar, const std::string& prefix, const char* icon, const char* button_name,
                     const char* button, const char* text_name, const char16_t* caption)
{
    wimage* background = bar.AddImage(prefix + "-title-bk", "rightsidebar", 0, 0, pane_width, wtitlewindow::TitleHeight);
    background->SetSizeRule(2, 2, 0, 0);
    bar.AddImage(prefix + "-title-mydownload", icon, 4, 2, 0, 0);
    bar.AddButton(button_name, button, pane_width - 26, 1, 0, 0);
    wtext* title = bar.AddText(text_name, 26, 0, 120, wtitlewindow::TitleHeight, caption);
    title->SetFont("font_a12");
    title->SetTextFormat(4);
    title->SetColor({255, 255, 255});
    title->SetMouseTransparent(true);
}

wtitlewindow* make_pane(const std::string& name, const char* background, float height)
{
    auto* pane = new wtitlewindow(name);
    pane->SetSize(pane_width, height);
    wimage* back = pane->Content()->AddImage(background, "rss-treeoptionwindow-bk", 0, 0, pane_width, height);
    back->SetSizeRule(2, 2, 0, 0);
    wtext* hint = pane->Content()->AddText("wtext-" + name.substr(7) + "-dragtext", 0, 0, pane_width, 40, drag_hint);
    hint->SetFont("font_a12");
    hint->SetTextFormat(5);
    hint->SetColor({255, 255, 255});
    hint->SetMouseTransparent(true);
    pane->SetEmptyHint(hint);
    return pane;
}

}  // namespace

void wrightwindow::CreatePanes()
{
    wtitlewindow* downloads = make_pane("window-mydownload", "image-bk-mydownload", 300);
    dress_title_bar(*downloads->TitleBar(), "image_mydownload", "icon_mydownload", "btn_mydownload-title-openlocal",
                    "btnopenlocal", "widget-selectbtn-text", u"My Download");
    // The lists are named by the names they report clicks under.
    downloads->SetList(new wdownloadlist("wdownloadlist_mydownload"), 0);
    AddPane(downloads);

    wtitlewindow* device = make_pane("window-syncdevice", "image-bk-syncdevice", 321);
    dress_title_bar(*device->TitleBar(), "image_syncdevice", "icon_myipod", "btn_syncdevice-title-sync", "btnsync",
                    "widget-myipod-text", u"My iPod");
    // The device's state beside the caption, written by the sync logic ("(Connected)").
    wtext* status = device->TitleBar()->AddText("widget-myipodstatus-text", 76, 0, 90, wtitlewindow::TitleHeight, u"");
    status->SetFont("font_a12");
    status->SetTextFormat(4);
    status->SetColor({188, 188, 188});
    status->SetMouseTransparent(true);
    device->SetList(new wsyncdevicelist("wdownloadlist_syncipod"), 0);
    const DWORD ipod = ReadRegDword(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", u"EnableIPOD", 0);
    device->Show(ipod != 0);
    AddPane(device);
}

void wrightwindow::AddPane(wtitlewindow* pane)
{
    m_panes.push_back(pane);
    AddChild(pane);
    // The pane's own events (they also go out globally): a pane dies with
    // this window, so no slot outlives it.
    pane->GetEvent("titlewindow-click", true)->Subscribe(&wrightwindow::OnTitleClick, this);
    pane->GetEvent("titlewindow-sizechange", true)->Subscribe(&wrightwindow::OnPaneSizeChange, this);
    Stack();
}

bool wrightwindow::Holds(const widget* pane) const
{
    return std::find(m_panes.begin(), m_panes.end(), pane) != m_panes.end();
}

void wrightwindow::Stack()
{
    float y = 0;
    for (wtitlewindow* pane : m_panes) {
        if (!pane->GetShowState()) continue;
        pane->SetY(y);
        y += pane->StackHeight();
    }
    Invalidate();
}

void wrightwindow::ClampContent()
{
    const float limit = std::max(0.0f, GetHeight() - 5);
    for (wtitlewindow* pane : m_panes)
        if (pane->GetHeight() > limit) pane->SetSize(pane->GetWidth(), limit);
    Stack();
}

void wrightwindow::OnSizeChanged()
{
    window::OnSizeChanged();
    ClampContent();
}

bool wrightwindow::OnTitleClick(EventArgs& e)
{
    if (!Holds(e.sender)) return false;
    for (wtitlewindow* pane : m_panes) pane->SetFolded(pane == e.sender ? !pane->IsFolded() : true);
    Stack();
    return true;
}

bool wrightwindow::OnPaneSizeChange(EventArgs& e)
{
    if (Holds(e.sender)) Stack();
    return false;
}

}
