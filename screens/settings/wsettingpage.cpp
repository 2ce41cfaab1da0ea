#include "screens/settings/wsettingpage.h"

#include "screens/settings/settingsLogic.h"
#include "screens/settings/wsettingpageControls.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/uimgr/uiMgr.h"

#include "platform/window/Dialog.h"

#include <algorithm>

// The window's children and how they are laid out; the values they show are
// read and written in wsettingpageValues.cpp.

namespace UI {

namespace {

constexpr fcolor TextColour{22, 22, 22};
constexpr fcolor SelectedTabColour{255, 255, 255};
constexpr float RowStep = 22;
constexpr float FieldHeight = 19;
constexpr float FolderFieldWidth = 320;
constexpr float LabelColumn = 110;   // where a folder row's field starts

std::u16string text_of(int id)
{
    const d3dresMgr* manager = d3dresMgr::Instance();
    return manager ? manager->LoadText(id) : std::u16string();
}

wtext* label(widget& parent, const char* name, const std::u16string& text, float x, float y)
{
    auto* made = new wtext(name);
    parent.AddChild(made);
    made->SetFont("font_a12");
    made->SetColor(TextColour);
    made->SetMouseTransparent(true);
    made->SetText(text.c_str());
    const fpoint size = made->GetTextSize();
    made->SetSize(size.x, size.y);
    made->SetPos(x, y + (FieldHeight - size.y) / 2);
    return made;
}

// A text on the input picture; number fields are editable.
wtext* field(widget& parent, const char* name, float x, float y, float width, bool editable)
{
    auto* background = new wimage(std::string(name) + "-bg");
    parent.AddChild(background);
    background->SetPicture("textinputbg", {5, 5, 5, 5});
    background->SetPos(x, y);
    background->SetSize(width, FieldHeight);
    auto* text = new wtext(name);
    parent.AddChild(text);
    text->SetFont("font_a12");
    text->SetColor(TextColour);
    text->SetMargin(5);
    text->SetTextFormat(4 | 32);   // vertically centred, one line
    text->SetEllipsis(!editable);
    text->SetEditable(editable);
    if (!editable) text->SetMouseTransparent(true);
    text->SetPos(x, y);
    text->SetSize(width, FieldHeight);
    return text;
}

wbtn* function_button(widget& parent, const char* name, const std::u16string& caption, float width)
{
    auto* button = new wbtn(name);
    parent.AddChild(button);
    button->SetSkinByName("functionbtn");
    button->SetBorders(5, 5, 5, 5);
    button->SetSize(width, FieldHeight);
    button->SetFont("font_a12");
    button->SetTextColor(TextColour, TextColour);
    button->SetText(caption.c_str());
    return button;
}

// A 16 x 16 check box with its label beside it; the label is part of the
// button, so clicking the text toggles it too.
wselectbtn* check_button(widget& parent, const char* name, const std::u16string& caption, float x, float y)
{
    auto* button = new wselectbtn(name, 3);
    parent.AddChild(button);
    auto* off = new wimage("widget-selectbtn-image");
    off->SetPicture("btnchecklightoff_normal");
    off->SetSize(16, 16);
    button->AddChild(off);
    auto* on = new wimage("widget-selectbtn-select");
    on->SetPicture("btnchecklighton_highlight");
    on->SetSize(16, 16);
    on->SetVisible(false);
    on->SetShowState(false);
    button->AddChild(on);
    button->SetStateImages(off, on);
    wtext* text = label(*button, "widget-selectbtn-text", caption, 18, 0);
    text->SetY((16 - text->GetHeight()) / 2);
    button->SetPos(x, y + (FieldHeight - 16) / 2);
    button->SetSize(18 + text->GetWidth(), 16);
    return button;
}

// A tab: the selection bar behind a left-aligned caption.
wselectbtn* tab_button(widget& parent, const char* name, const std::u16string& caption, float y)
{
    auto* tab = new wselectbtn(name, 0);
    parent.AddChild(tab);
    auto* bar = new wimage("widget-selectbtn-select");
    bar->SetPicture("select", {3, 3, 3, 3});
    bar->SetVisible(false);
    bar->SetShowState(false);
    tab->AddChild(bar);
    tab->SetMark(bar);
    wtext* text = label(*tab, "widget-selectbtn-text", caption, 6, 0);
    text->SetY((14 - text->GetHeight()) / 2);
    tab->SetSize(text->GetWidth() + 12, 14);
    tab->SetPosRule(2, 1, 0, y);
    return tab;
}

}  // namespace

wsettingpage::wsettingpage(std::string name) : window(std::move(name)), m_controls(std::make_unique<Controls>()) {}

wsettingpage::~wsettingpage() = default;

void wsettingpage::Create()
{
    Controls& c = *m_controls;
    auto* background = new wimage("wimage-windowsettingbg");
    AddChild(background);
    background->SetPicture("panelbg", {5, 5, 5, 5});
    background->SetSize(GetWidth(), GetHeight());
    background->SetSizeRule(2, 2, -1, -1);

    auto* left = new window("window-setting-left");
    AddChild(left);
    left->SetPosRule(1, 1, 18, 12);
    left->SetSizeRule(1, 1, 141, 83);
    const struct { const char* tab; int text; const char* page; } pages[PageCount] = {
        {"wselectbtn_generalsetting", 7030, "window-setting-general"},
        {"wselectbtn_rsssetting", 7031, "window-setting-rss"},
        {"wselectbtn_downloadsetting", 7048, "window-setting-playback"},
        {"wselectbtn_prefetchsetting", 7080, "window-setting-prefetch"},
    };
    for (int i = 0; i < PageCount; ++i) {
        c.tabs[i] = tab_button(*left, pages[i].tab, text_of(pages[i].text), 4 + i * 20.0f);
        c.tabs[i]->SetGroup(&c.tab_group);
        c.tab_group.push_back(c.tabs[i]);
        c.tabs[i]->GetEvent("selectbtn_clicked", true)->Subscribe(&wsettingpage::OnSelectClicked, this);
        c.pages[i] = new window(pages[i].page);
        AddChild(c.pages[i]);
        c.pages[i]->SetPosRule(1, 1, 178, 12);
        c.pages[i]->SetSizeRule(3, 2, 180, 0);
    }
    // Tabs are 111 px wide, or as wide as the longest caption needs, all alike.
    float tab_width = 111;
    for (int i = 0; i < PageCount; ++i) tab_width = std::max(tab_width, c.tabs[i]->GetWidth());
    for (int i = 0; i < PageCount; ++i) {
        c.tabs[i]->SetWidth(tab_width);
        c.tabs[i]->FindChild("widget-selectbtn-select")->SetSize(tab_width, 14);
    }
    BuildGeneralPage(*c.pages[General]);
    BuildFeedsPage(*c.pages[Feeds]);
    BuildPlaybackPage(*c.pages[PlaybackDownload]);
    BuildPrefetchPage(*c.pages[Prefetch]);

    c.apply = function_button(*this, "wbtn-apply-setting", text_of(7034), 72);
    c.apply->SetPosRule(2, 2, 18, 12);
    c.cancel = function_button(*this, "wbtn-cancel-setting", text_of(7033), 72);
    c.cancel->SetPosRule(2, 2, 18 + 72 + 8, 12);
    for (wbtn* button : {c.apply, c.cancel, c.download_browse, c.cache_browse, c.clean})
        button->GetEvent("button_clicked", true)->Subscribe(&wsettingpage::OnButtonClicked, this);
    for (wselectbtn* check : {c.auto_run, c.full_screen, c.to_tray, c.accelerator, c.high_quality,
                              c.enable_prefetch, c.favourites})
        check->GetEvent("selectbtn_clicked", true)->Subscribe(&wsettingpage::OnSelectClicked, this);
    UpdateLayout();

    // Every page starts as stored; page 0 opens.
    for (int page = PageCount - 1; page >= 0; --page) {
        m_current_page = page;
        Revert();
    }
    ShowPage(General);
}

void wsettingpage::SetLogic(settingsLogic* logic)
{
    m_logic = logic;
    if (m_controls->enable_prefetch) RefreshPrefetchPage();
}

void wsettingpage::BuildGeneralPage(window& page)
{
    Controls& c = *m_controls;
    c.auto_run = check_button(page, "wselectbtn_autorun", text_of(7047), 0, 0);
    c.full_screen = check_button(page, "wselectbtn_startasfullscreen", text_of(7035), 0, RowStep);
    c.to_tray = check_button(page, "wselectbtn_totray", text_of(7036), 0, 2 * RowStep);
    c.accelerator = check_button(page, "wselectbtn_networkall", text_of(7037), 0, 3 * RowStep);
}

void wsettingpage::BuildFeedsPage(window& page)
{
    Controls& c = *m_controls;
    const struct { int before; const char* name; int after; wtext** field; } rows[] = {
        {7039, "wtext-maxrssitem-setting-rss", 7040, &c.item_count},
        {7041, "wtext-timeinterval-setting-rss", 7027, &c.interval},
    };
    // The two fields stand in one column after the longer leading label.
    float column = 0;
    std::array<wtext*, 2> before{};
    for (std::size_t i = 0; i < 2; ++i) {
        before[i] = label(page, "wtext-setting-rss-label", text_of(rows[i].before), 0, float(i) * RowStep);
        column = std::max(column, before[i]->GetWidth() + 6);
    }
    for (std::size_t i = 0; i < 2; ++i) {
        const float y = float(i) * RowStep;
        *rows[i].field = field(page, rows[i].name, column, y, 60, true);
        label(page, "wtext-setting-rss-label", text_of(rows[i].after), column + 66, y);
    }
}

void wsettingpage::BuildPlaybackPage(window& page)
{
    Controls& c = *m_controls;
    const struct { int label; const char* field; const char* browse; wtext** text; wbtn** button; } rows[] = {
        {7049, "wtext-downloaddir-setting-playback", "wbtn-downloaddir-setting-playback", &c.download_folder,
         &c.download_browse},
        {7043, "wtext-cachedir-setting-playback", "wbtn-cachedir-setting-playback", &c.cache_folder,
         &c.cache_browse},
    };
    float y = 0;
    for (const auto& row : rows) {
        label(page, "wtext-setting-playback-label", text_of(row.label), 0, y);
        *row.text = field(page, row.field, LabelColumn, y, FolderFieldWidth, false);
        *row.button = function_button(page, row.browse, u"...", 28);
        (*row.button)->SetPos(LabelColumn + FolderFieldWidth + 6, y);
        y += RowStep;
    }
    label(page, "wtext-setting-playback-label", text_of(7045), 0, y);
    c.cache_bar = new wprogress("wprogress-cachesize-setting-playback");
    page.AddChild(c.cache_bar);
    c.cache_bar->SetSkin("rsstreenodehighlight", "textinputbg");
    c.cache_bar->SetLocked(true);
    c.cache_bar->SetPos(LabelColumn, y + 3);
    c.cache_bar->SetSize(150, 13);
    c.cache_bar->SetRange(100);
    c.cache_usage = label(page, "wtext01-cachesize-setting-playback", u"0.000GB / 0.000GB", LabelColumn + 158, y);
    c.cache_usage->SetWidth(FolderFieldWidth - 158);
    c.clean = function_button(page, "wbtn-clearcache-setting", text_of(7046), 72);
    c.clean->SetPos(LabelColumn + FolderFieldWidth + 6, y);
    y += RowStep;
    c.high_quality = check_button(page, "wselectbtn_videohighquality", text_of(7038), 0, y);
}

void wsettingpage::BuildPrefetchPage(window& page)
{
    Controls& c = *m_controls;
    c.enable_prefetch = check_button(page, "wselectbtn_enableprefetch", text_of(1101), 0, 0);
    c.favourites = check_button(page, "wselectbtn_prefetchmyfavorites", text_of(7028), 0, RowStep);
    const float y = 2 * RowStep + 4;
    wtext* before = label(page, "wtext-setting-prefetch-hint", text_of(7081), 0, y);
    auto* icon = new wimage("wimage-setting-prefetch-icon");
    page.AddChild(icon);
    icon->SetPicture("icon_prefetchfinish");
    const float icon_x = before->GetWidth() + 4;
    icon->SetPos(icon_x, y + (FieldHeight - icon->GetHeight()) / 2);
    label(page, "wtext-setting-prefetch-hint", text_of(7082), icon_x + icon->GetWidth() + 4, y);
}

void wsettingpage::ShowPage(int page)
{
    Controls& c = *m_controls;
    m_current_page = page;
    for (int i = 0; i < PageCount; ++i) {
        const bool open = i == page;
        c.tabs[i]->SetSelected(open);
        if (auto* caption = dynamic_cast<wtext*>(c.tabs[i]->FindChild("widget-selectbtn-text")))
            caption->SetColor(open ? SelectedTabColour : TextColour);
        c.pages[i]->Show(open);
        c.pages[i]->SetVisible(open);
    }
    Invalidate();
}

bool wsettingpage::OnSelectClicked(EventArgs& e)
{
    Controls& c = *m_controls;
    for (int i = 0; i < PageCount; ++i) {
        if (e.sender != c.tabs[i]) continue;
        Revert();
        ShowPage(i);
        if (i == PlaybackDownload) RefreshCacheUsage();
        return true;
    }
    if (e.sender == c.enable_prefetch) {
        if (!c.enable_prefetch->IsSelected()) c.favourites->SetSelected(false);
        SetFavouritesEnabled(c.enable_prefetch->IsSelected());
    }
    return true;
}

bool wsettingpage::OnButtonClicked(EventArgs& e)
{
    Controls& c = *m_controls;
    if (e.sender == c.cancel) {
        Revert();
        RunShowHide();
    } else if (e.sender == c.apply) {
        Apply();
        RunShowHide();
    } else if (e.sender == c.cache_browse) {
        if (m_logic) m_logic->PostUICommand(CommandBrowseCache);
    } else if (e.sender == c.download_browse) {
        if (m_logic) m_logic->PostUICommand(CommandBrowseDownload);
    } else if (e.sender == c.clean) {
        Clean();
    }
    return true;
}

void wsettingpage::RunShowHide()
{
    StartAnimation(IsVisible() ? AnimFromCurrent | AnimHide | AnimVisibility | AnimFromBottom
                               : AnimPlaceHidden | AnimVisibility | AnimFromBottom);
}

// A disabled check box ignores the mouse and is drawn faded.
void wsettingpage::SetFavouritesEnabled(bool enabled)
{
    wselectbtn* favourites = m_controls->favourites;
    favourites->SetMouseTransparent(!enabled);
    for (widget* child : favourites->ChildrenInZOrder()) child->SetAlpha(enabled ? 255 : 110);
    favourites->Invalidate();
}

void wsettingpage::ShowRefusal()
{
    std::u16string caption = text_of(7100);
    if (caption.empty()) caption = u"Please select path!";
    std::u16string text = text_of(7101);
    if (text.empty()) text = u"Invalid folder, please select other!";
    if (m_notice) {
        m_notice(text, caption);
        return;
    }
    MessageBoxW(uiMgr::Instance().GetHwnd(), text.c_str(), caption.c_str(), MB_OK);
}

}
