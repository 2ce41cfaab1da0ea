// The regions of the main window, built by uiBuilder::BuildUI in its order.
// Rules are the self layout's: (x rule, y rule; x value, y value) places,
// (width rule, height rule; ...) sizes; position 1 fixed, 2 from the far
// edge, 4 centred; size 1 fixed, 2 the parent's, 3 the parent's less the value.

#include "screens/builder/UIIds.h"
#include "screens/builder/uiBuilder.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/tree/wrsstree.h"
#include "screens/video/wcontrolbar.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wtitlewindow.h"
#include "screens/widgets/wdragwindow.h"
#include "screens/widgets/wsearcheditbox.h"
#include "screens/widgets/wvideoloading.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/genericlist/wtlist.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include "core/settings/CAppSettings.h"
#include "screens/settings/wsettingpage.h"

#include <cmath>
#include <string>

namespace UI {
namespace {

constexpr fcolor Ink{31, 31, 31};
constexpr fcolor Black{0, 0, 0};
constexpr float SearchBoxWidth = 200;
constexpr float NarrowestWidth = 1024;   // the main window is never narrower
constexpr float TitleGap = 8;

std::u16string text_of(int id)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    return manager ? manager->LoadText(id) : std::u16string();
}

template <typename W>
W* add(widget& parent, W* child, int id = 0)
{
    parent.AddChild(child);
    if (id != 0) RegisterWidget(child->GetName(), id, child);
    return child;
}

window* frame_window(widget& parent, const char* name, int zorder)
{
    auto* frame = add(parent, new window(name));
    frame->SetZOrder(zorder);
    return frame;
}

// The frame picture stretched over its whole frame. Its rounded ends keep
// their shape: stretched with the middle, they smeared into steps over the
// frame's first and last hundred pixels.
void frame_background(window& parent, const char* name)
{
    auto* background = add(parent, new wimage(name));
    background->SetPicture("bottomframe", {6, 6, 6, 6});
    background->SetSize(parent.GetWidth(), parent.GetHeight());
    background->SetSizeRule(2, 2, -1, -1);
}

wbtn* single_picture_button(widget& parent, const char* name, const char* picture, int id)
{
    auto* button = add(parent, new wbtn(name), id);
    button->SetSkin(picture, picture, picture, picture);
    return button;
}

}  // namespace

void uiBuilder::BuildSettingWindow()
{
    auto* settings = add(*m_root, new wsettingpage("window_setting"), ids::Setting);
    settings->SetZOrder(1000);
    settings->SetPosRule(1, 2, 0, 25);
    settings->SetSizeRule(3, 1, 0, 120);
    settings->UpdateLayout();
    settings->Create();
    settings->Show(false);
}

void uiBuilder::BuildFrames()
{
    const CAppSettings& settings = *CAppSettings::Instance();
    m_top_height = settings.GetMetric(8);
    m_bottom_height = settings.GetMetric(9);
    m_left_width = settings.GetMetric(10);
    m_right_width = settings.GetMetric(11);
    const float vertical = m_top_height + m_bottom_height;
    uiMgr& manager = uiMgr::Instance();

    m_top = frame_window(*m_ui_root, "topframe-window", 1000);
    m_top->SetPosRule(1, 1, 0, 0);
    m_top->SetSizeRule(3, 1, 0, m_top_height);
    m_top->UpdateLayout();
    frame_background(*m_top, "topframe-bk");
    BuildTitleButtons(*m_top);
    manager.SetFrame(uiMgr::Frame::Top, m_top);

    window* left = frame_window(*m_ui_root, "leftframe-window", 700);
    left->SetPosRule(1, 1, 0, m_top_height);
    left->SetSizeRule(1, 3, m_left_width, vertical);
    manager.SetFrame(uiMgr::Frame::Left, left);
    window* right = frame_window(*m_ui_root, "rightframe-window", 700);
    right->SetPosRule(2, 1, 0, m_top_height);
    right->SetSizeRule(1, 3, m_right_width, vertical);
    manager.SetFrame(uiMgr::Frame::Right, right);

    m_bottom = frame_window(*m_ui_root, "bottomframe-window", 1000);
    m_bottom->SetPosRule(1, 2, 0, 0);
    m_bottom->SetSizeRule(3, 1, 0, m_bottom_height);
    m_bottom->UpdateLayout();
    frame_background(*m_bottom, "bottomframe-bk");
    manager.SetFrame(uiMgr::Frame::Bottom, m_bottom);

    m_client->SetPosRule(1, 1, m_left_width, m_top_height);
    m_client->SetSizeRule(3, 3, m_left_width + m_right_width, vertical);
    m_ui_root->UpdateLayout();
}

void uiBuilder::BuildTitleButtons(window& top)
{
    const float y = std::trunc((m_top_height - 16) / 2);
    const struct { const char* name; const char* skin; float from_right; int id; bool shown; } buttons[] = {
        {"topframe_btn_min", "btnminimize", 45, ids::Minimize, true},
        {"topframe_btn_max", "btnmaximize", 26, ids::Maximize, true},
        {"topframe_btn_restore", "btnrestore", 26, ids::Restore, false},
        {"topframe_btn_close", "btnclose", 7, ids::Close, true},
    };
    for (const auto& b : buttons) {
        auto* button = add(top, new wbtn(b.name), b.id);
        button->SetSkinByName(b.skin);
        button->SetSize(16, 16);
        button->SetPosRule(2, 1, b.from_right, y);
        button->Show(b.shown);
    }
    auto* logo = add(top, new wimage("topframe-wimage_logo"));
    logo->SetPicture("logo");
    logo->SetPosRule(1, 4, 5, 0);

    // The title follows the logo and ends before the search box, which is
    // centred: centred as well, the title lay wholly under the box. Its room
    // is what the narrowest window leaves; a wider one only adds to it.
    const float left = 5 + logo->GetWidth() + TitleGap;
    auto* title = add(top, new wtext("frametop-info-text"));
    title->SetFont("font_a12b");
    title->SetTextFormat(4);
    title->SetColor(Ink);
    title->SetEllipsis(true);
    title->SetSize((NarrowestWidth - SearchBoxWidth) / 2 - TitleGap - left, m_top_height);
    title->SetText(text_of(5002).c_str());
    title->SetPosRule(1, 1, left, 0);
}

void uiBuilder::BuildFeedTree()
{
    auto* holder = add(*m_client, new window("window-rsstree"), ids::RssTreeWindow);
    holder->SetZOrder(700);
    holder->SetPosRule(1, 1, 0, 0);
    holder->SetSizeRule(1, 2, 175, -1);
    auto* tree = add(*holder, new wrsstree("wtree-rss"), ids::RssTree);
    tree->SetPos(0, 0);
    tree->SetSize(165, 18);
    tree->SetSizeRule(3, 3, 0, 0);
}

void uiBuilder::BuildFeedList()
{
    auto* holder = add(*m_ui_root, new window("window-rsslistweb"), ids::RssListWindow);
    // Under the client: the control bar (bottom right, its left part over the list), the loading page and the
    // empty-content notice are drawn over the rows and take the presses there.
    holder->SetZOrder(-1);
    holder->SetPosRule(4, 1, 0, 25);
    holder->SetSizeRule(1, 3, 625, 50);
    holder->UpdateLayout();
    // Empty until the controller fills it with the items of a channel.
    auto* list = add(*holder, new wrsslist("wrsslist_rss"), ids::RssList);
    list->SetSize(holder->GetWidth(), holder->GetHeight());
    list->SetSizeRule(2, 3, 0, 0);
}

void uiBuilder::BuildPaging()
{
    const auto n = static_cast<float>(m_page_button_count);
    auto* holder = add(*m_bottom, new window("window-rsspageindicatebtns"), ids::PageButtons);
    holder->SetPosRule(4, 4, -1, -1);
    holder->SetSizeRule(1, 2, 18 * n + 37, -1);
    holder->Show(false);
    const struct { const char* name; const char* picture; int x_rule; int id; } ends[] = {
        {"btn-rsslastpage", "pagelast", 1, ids::LastPage},
        {"btn-rssnextpage", "pagenext", 2, ids::NextPage},
    };
    for (const auto& end : ends) {
        wbtn* button = single_picture_button(*holder, end.name, end.picture, end.id);
        button->SetPosRule(end.x_rule, 4, 0, 0);
        button->Show(false);
    }
    for (int i = 0; i < m_page_button_count; ++i) {
        auto* page = add(*holder, new wselectbtn("select_rsspage_" + std::to_string(i)), ids::FirstPageSelect + i);
        page->SetSize(17, 15);
        page->Setup("pageunselect", "", nullptr, "pageselect");
        page->SetPosRule(1, 4, 19 + 18 * static_cast<float>(i), 0);
        page->SetSelected(i == 0);
        page->Show(false);
        m_page_buttons.push_back(page);
    }
    // The page text has no place of its own: it shares the paging window,
    // which frees it with the tree and shows it where the paging shows.
    auto* indicate = add(*holder, new window("window-rsspageindicate"));
    indicate->SetMouseTransparent(true);
    indicate->SetSizeRule(2, 2, -1, -1);
    auto* text = add(*indicate, new wtext("wtext-pageindicate-text"), ids::PageText);
    // It spans the arrows: a press on one must reach the arrow.
    text->SetMouseTransparent(true);
    text->SetPos(0, 9);
    text->SetSize(156, 17);
    text->SetPosRule(2, 4, 7, 0);
    text->SetColor(Ink);
    text->SetFont("font_a12");
    text->SetText(u"Page 1 of 15");
    text->Show(false);
}

void uiBuilder::BuildSearchBox()
{
    auto* box = add(*m_top, new wsearcheditbox("searcheditbox"), ids::SearchBox);
    box->SetPosRule(4, 1, 0, 3);
    box->SetSize(SearchBoxWidth, 19);
    box->Setup();
}

void uiBuilder::BuildSettingButton()
{
    auto* button = add(*m_bottom, new wbtn("btn-bottomfram-setting"), ids::SettingButton);
    button->SetSkinByName("functionbtn");
    button->SetBorders(5, 5, 5, 5);
    button->SetPos(7, 3);
    button->SetSize(74, 19);
    button->SetPosRule(2, 4, 7, -1);
    button->SetFont("font_a12b");
    button->SetTextColor(Black, Black);
    button->SetText(text_of(7029).c_str());
}

void uiBuilder::BuildOperationBars()
{
    const struct { const char* bar; int bar_id; const char* button; int button_id; const char* icon; const char* text;
                   int text_id; } bars[] = {
        {"window_myfavoriteopertation", ids::MyFavoriteOperation, "btn-bottomfram-removeall", ids::RemoveAll,
         "icon_removeall", "text-bottom-removeall", 5093},
        {"window_searchopertation", ids::SearchOperation, "btn-bottomfram-savesearch", ids::SaveSearch,
         "icon_savesearch", "text-bottom-savesearch", 5099},
        {"window_mychannelopertation", ids::MyChannelOperation, "btn-bottomfram-remove", ids::Remove, "icon_remove",
         "text-bottom-remove", 5090},
    };
    for (const auto& b : bars) {
        auto* bar = add(*m_bottom, new window(b.bar), b.bar_id);
        bar->SetPos(0, 0);
        bar->SetSize(200, 25);
        auto* button = add(*bar, new wbtn(b.button), b.button_id);
        button->SetSkinByName("functionbtn");
        button->SetBorders(5, 5, 5, 5);
        button->SetPos(7, 3);
        button->SetSize(102, 19);
        auto* icon = add(*button, new wimage(b.icon));
        icon->SetPicture(b.icon);
        icon->SetPos(12, 7);
        icon->SetSize(11, 11);
        auto* text = add(*button, new wtext(b.text));
        text->SetPos(28, 5);
        text->SetSize(80, 14);
        text->SetFont("font_a12b");
        text->SetColor(Black);
        // It spans the arrows: a press on one must reach the arrow.
    text->SetMouseTransparent(true);
        text->SetText(text_of(b.text_id).c_str());
        const float width = text->GetTextSize().x;
        text->SetWidth(width);
        button->SetWidth(width + 33);
        bar->Show(false);
    }
}

void uiBuilder::BuildLoadingPage()
{
    auto* page = add(*m_client, new window("window-loadingpage"), ids::LoadingPage);
    page->SetSize(48, 48);
    page->SetPosRule(4, 4, -1, -1);
    page->Show(false);
    auto* loading = add(*page, new wvideoloading("wloading-loadingpage"), ids::Loading);
    loading->SetSize(48, 48);
}

void uiBuilder::BuildControlBar()
{
    uiMgr& manager = uiMgr::Instance();
    if (manager.GetControlBar()) return;
    auto* bar = add(*m_client, new wcontrolbar("wcontrolbar-video"));
    manager.SetControlBar(bar);
    m_control_bar = bar;
    bar->CreateChildren(*m_bottom, *m_root);
    bar->SetSizeRule(1, 1, bar->GetWidth(), bar->GetHeight());
    bar->SetPosRule(2, 2, 0, 0);
}

void uiBuilder::BuildEmptyPrompt()
{
    auto* prompt = add(*m_client, new window("window_prompt"), ids::EmptyPrompt);
    prompt->SetSize(625, 14);
    prompt->SetPosRule(4, 4, -1, -1);
    prompt->Show(false);
    auto* text = add(*prompt, new wtext("wtext_prompt"));
    text->SetFont("font_a12");
    text->SetText(text_of(5103).c_str());
    text->SetPosRule(4, 4, -1, -1);
}

void uiBuilder::BuildDragWindow() { add(*m_root, new wdragwindow("window-drag"), ids::DragWindow); }

void uiBuilder::BuildRightPane()
{
    auto* pane = add(*m_ui_root, new wrightwindow(), ids::RightWindow);
    // Against the right frame, between the top and bottom frames: the width
    // the centred feed list leaves beside it.
    pane->SetPosRule(2, 1, m_right_width, m_top_height);
    pane->SetSizeRule(1, 3, 199, m_top_height + m_bottom_height);
    pane->CreatePanes();
    // The panes are named as their skin has them; the ids go by the id
    // table's names, which are also the names the lists report clicks under.
    const struct { std::size_t pane; const char* name; int pane_id; int list_id; } panes[] = {
        {0, "window_mydownload", ids::MyDownload, ids::MyDownloadList},
        {1, "window_syncdevice", ids::SyncDevice, ids::SyncDeviceList},
    };
    for (const auto& p : panes) {
        wtitlewindow* title_window = pane->Panes().at(p.pane);
        RegisterWidget(p.name, p.pane_id, title_window);
        if (wtlist* list = title_window->GetList()) RegisterWidget(list->GetName(), p.list_id, list);
    }
}

}
