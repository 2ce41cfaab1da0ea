#include "screens/warning/warningpageMgr.h"

#include "screens/builder/UIIds.h"
#include "screens/widgets/wcontainer.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <string>

namespace {

constexpr UI::fcolor TextGrey{188, 188, 188};
constexpr float PageWidth = 612;
constexpr float HintHeight = 56;
constexpr float TextLeft = 40, FarMargin = 18;
constexpr float Gap = 8;   // between a text and the button beside it
constexpr int PlayVideoMode = 2, BothMode = 8, NoneMode = 1;

std::u16string text_of(int id)
{
    const UI::d3dresMgr* manager = UI::d3dresMgr::Instance();
    return manager ? manager->LoadText(id) : std::u16string();
}

template <typename W>
W* add(UI::widget& parent, W* child, int id = 0)
{
    parent.AddChild(child);
    if (id != 0) UI::RegisterWidget(child->GetName(), id, child);
    return child;
}

// The list area's place in the client, where the empty-list prompt sits too.
UI::widget* pages_parent()
{
    if (UI::widget* client = UI::GetWidgetById(UI::ids::Client)) return client;
    return UI::uiMgr::Instance().GetRoot();
}

void add_background(wwarningpage& page)
{
    auto* background = add(page, new UI::wimage("wimage_rssitembackground"));
    background->SetPicture("videonormalbg");
    background->SetBorders(10, 10, 10, 10);
    background->SetSize(page.GetWidth(), page.GetHeight());
    background->SetSizeRule(2, 2, -1, -1);
    background->SetMouseTransparent(true);
}

// A text block at (TextLeft, y) that ends before `until` (a button's left
// edge, or the page's far margin).
UI::wcontainer* add_text_container(wwarningpage& page, float y, float until)
{
    const float width = until - Gap - TextLeft;
    auto* container = add(page, new UI::wcontainer("wcontainer_" + page.GetName()));
    container->SetPos(TextLeft, y);
    container->SetSize(width, 16);
    container->SetLineWidth(width);
    container->SetMouseTransparent(true);
    return container;
}

// A caption on the skin's small button plate, placed from the far edges; its
// left edge, in the page, is returned.
float add_text_button(wwarningpage& page, const char* name, int text_id, float right, float top, int id = 0)
{
    auto* button = add(page, new UI::wbtn(name), id);
    button->SetSkinByName("btnsetting");
    button->SetBorders(5, 5, 5, 5);
    button->SetFont("font_a12");
    button->SetText(text_of(text_id).c_str());
    button->SetSize(button->GetTextSize().x + 22, 16);
    button->SetPosRule(2, 1, right, top);
    return page.GetWidth() - right - button->GetWidth();
}

// "Don't ask me next time.": a check box with its label, left of the far edge.
void add_dont_ask_box(wwarningpage& page, const std::string& name, int id, float top)
{
    auto* box = add(page, new UI::wselectbtn(name, 3), id);
    box->SetSize(16, 16);
    auto* off = add(*box, new UI::wimage(name + "-off"));
    off->SetPicture("btncheckoff_normal");
    auto* on = add(*box, new UI::wimage(name + "-on"));
    on->SetPicture("btncheckon_normal");
    for (UI::wimage* image : {off, on}) {
        image->SetSize(16, 16);
        image->SetMouseTransparent(true);
    }
    box->SetStateImages(off, on);
    box->SetSelected(false);
    auto* label = add(page, new UI::wtext(name + "-text"));
    label->SetFont("font_a12");
    label->SetColor(TextGrey);
    label->SetText(text_of(7012).c_str());
    label->SetMouseTransparent(true);
    const float width = label->GetTextSize().x;
    label->SetSize(width, 16);
    label->SetPosRule(2, 1, FarMargin, top);
    box->SetPosRule(2, 1, FarMargin + width + 6, top);
}

wwarningpage* warning_page(const char* name, int page_id, int text_id)
{
    auto* page = new wwarningpage(name, page_id);
    page->SetSize(PageWidth, 40);
    add_background(*page);
    auto* icon = add(*page, new UI::wimage("wimage_Warning_Dialog_Icon"));
    icon->SetPicture("WarningDialogIcon");
    // On the line of the text and the button, centred in the page as they are.
    icon->SetPos(12, 12);
    icon->SetSize(16, 16);
    const float button = add_text_button(*page, "wbtn_window_ok", 1, FarMargin, 12);
    add_text_container(*page, 12, button)->AddText(text_of(text_id), "font_a12", TextGrey);
    return page;
}

// The hints hold their "Don't ask me next time." box on a row of its own under their text.
wwarningpage* my_channel_prompt()
{
    auto* page = new wwarningpage("window_mychannelprompt", warningpageMgr::MyChannelPrompt);
    page->SetSize(PageWidth, HintHeight);
    add_background(*page);
    const float button = add_text_button(*page, "wbtn_window_mychannelprompt-addnow", 7015, FarMargin, 12,
                                        UI::ids::AddNow);
    auto* text = add_text_container(*page, 12, button);
    text->AddText(text_of(7013), "font_a12", TextGrey);
    text->AddImage("icon_addchannel");
    text->AddText(text_of(7014), "font_a12", TextGrey);
    add_dont_ask_box(*page, "wselectbtn_window_mychannelprompt-dontask", 89, 34);
    return page;
}

wwarningpage* search_prompt()
{
    auto* page = new wwarningpage("window_searchprompt", warningpageMgr::SearchPrompt);
    page->SetSize(PageWidth, HintHeight);
    add_background(*page);
    // The skin names this picture "SeachDialogIcon"; no table knows another name for it.
    auto* icon = add(*page, new UI::wimage("wimage_Seach_Dialog_Icon"));
    icon->SetPicture("SeachDialogIcon");
    icon->SetPos(12, 12);
    icon->SetSize(16, 16);
    add_text_container(*page, 12, PageWidth - FarMargin)->AddText(text_of(7010), "font_a12", TextGrey);
    add_dont_ask_box(*page, "wselectbtn_window_searchprompt-dontask", 88, 34);
    return page;
}

}  // namespace

wwarningpage::wwarningpage(std::string name, int page_id) : UI::window(std::move(name)), m_page_id(page_id) {}

void wwarningpage::ShowAnimated()
{
    Show(true);
    ReleaseZoomBuffer();
    CreateBackBuffer(unsigned(GetWidth()), unsigned(GetHeight()));
    GetZoom().SetParams({0, 0.5f, 1.0f, 4.0f, 0.01f});
    GetZoom().SetKeepShown(true);
    GetZoom().Start();
}

warningpageMgr::warningpageMgr(warningpageHost host) : m_host(std::move(host)) {}

warningpageMgr::~warningpageMgr()
{
    for (wwarningpage* page : m_pages) {
        if (UI::widget* parent = page->GetParent()) parent->RemoveChild(page);
        delete page;
    }
}

void warningpageMgr::CreatePages()
{
    if (!m_pages.empty()) return;
    const struct { const char* name; int id; int text; } warnings[] = {
        {"window_warning-failedplayback", FailedPlayback, 7094},
        {"window_warning-nonewclip", NoNewClip, 7090},
        {"window_warning-nofavoriteclip", NoFavoriteClip, 7091},
        {"window_warning-norecentclip", NoRecentClip, 7092},
        {"window_warning-nosearchclip", NoSearchClip, 7093},
    };
    for (const auto& w : warnings) AddPage(warning_page(w.name, w.id, w.text));
    UI::RegisterWidget("window_mychannelprompt", UI::ids::MyChannelPrompt, AddPage(my_channel_prompt()));
    UI::RegisterWidget("window_searchprompt", UI::ids::SearchPrompt, AddPage(search_prompt()));
}

wwarningpage* warningpageMgr::AddPage(wwarningpage* page)
{
    if (UI::widget* parent = pages_parent()) parent->AddChild(page);
    page->SetPosRule(4, 4, -1, -1);
    page->UpdateLayout();
    page->Show(false);
    m_pages.push_back(page);
    for (UI::widget* child : page->ChildrenInZOrder())
        if (dynamic_cast<UI::wbtn*>(child))
            child->GetEvent("button_clicked", true)->Subscribe(&warningpageMgr::OnButton, this);
    return page;
}

wwarningpage* warningpageMgr::FindPage(int id) const
{
    for (wwarningpage* page : m_pages)
        if (page->GetPageId() == id) return page;
    return nullptr;
}

bool warningpageMgr::ShowPage(int id, bool animate)
{
    wwarningpage* page = FindPage(id);
    if (!page) return false;
    HideAll();
    if (animate)
        page->ShowAnimated();
    else
        page->Show(true);
    return true;
}

void warningpageMgr::HideAll()
{
    for (wwarningpage* page : m_pages) {
        if (page->GetPageId() == FailedPlayback && page->IsVisible() && m_host.get_display_mode) {
            const DWORD mode = m_host.get_display_mode();
            if (mode == PlayVideoMode || mode == BothMode) {
                if (UI::widget* video = UI::uiMgr::Instance().GetVideoWindow()) video->Show(false);
                if (mode == PlayVideoMode && m_host.set_display_mode) m_host.set_display_mode(NoneMode);
            }
        }
        page->Show(false);
    }
}

bool warningpageMgr::OnButton(UI::EventArgs& e)
{
    const UI::widget* page = e.sender ? e.sender->GetParent() : nullptr;
    for (const wwarningpage* candidate : m_pages)
        if (candidate == page && m_host.on_result) m_host.on_result(candidate->GetPageId());
    return false;
}
