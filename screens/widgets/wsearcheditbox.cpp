#include "screens/widgets/wsearcheditbox.h"

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/InputState.h"
#include "toolkit/widgets/WidgetRegistry.h"

namespace {

constexpr float Width = 155;
constexpr float Height = 19;
constexpr float ButtonSize = 16;
constexpr float ButtonFromRight = 15;
// The field starts inside the background's left border and stops 4 px short
// of the button: 8 + 4 + 16 + 15 narrower than the box (112 px at 155).
constexpr float FieldX = 8;
constexpr float FieldLess = FieldX + 4 + ButtonSize + ButtonFromRight;
constexpr float FieldY = 2;
constexpr float FieldHeight = 14;
constexpr UI::Borders BackgroundBorders{10, 5, 5, 5};

std::u16string text_of(int id)
{
    UI::d3dresMgr* manager = UI::d3dresMgr::Instance();
    return manager ? manager->LoadText(id) : std::u16string();
}

}  // namespace

wsearcheditbox::wsearcheditbox(std::string name) : UI::window(std::move(name)) {}

void wsearcheditbox::Setup()
{
    SetSize(Width, Height);
    m_background = new UI::wimage("widget-searchcombobox-background");
    m_background->SetPicture("search_bk", BackgroundBorders);
    AddChild(m_background);
    m_background->SetSizeRule(3, 1, 10, Height);
    m_highlight = new UI::wimage("widget-searchcombobox-highlightbackground");
    m_highlight->SetPicture("search_highlightbk", BackgroundBorders);
    m_highlight->SetPos(-3, -3);
    AddChild(m_highlight);
    m_highlight->SetSizeRule(3, 1, 4, 25);
    m_highlight->Show(false);

    m_button = new UI::wbtn("widget-searcheditbox-btn");
    m_button->SetSkin("btnsearch", "btnsearch", "btnsearch", "btnsearch");
    m_button->SetSize(ButtonSize, ButtonSize);
    AddChild(m_button);
    m_button->SetPosRule(2, 1, ButtonFromRight, (Height - ButtonSize) / 2);
    UI::RegisterWidget(m_button->GetName(), 224, m_button);

    m_text = new UI::wtext("widget-searcheditbox-text");
    m_text->SetFont("font_a12");
    m_text->SetEditable(true);
    m_text->SetPos(FieldX, FieldY);
    m_text->SetHeight(FieldHeight);
    AddChild(m_text);
    m_text->SetSizeRule(3, 1, FieldLess, FieldHeight);
    m_text->GetEvent("wtext_input_finish", true)->Subscribe(&wsearcheditbox::OnInputFinish, this);
    UI::RegisterWidget(m_text->GetName(), 225, m_text);

    m_prompt = MakePrompt("widget-searcheditbox-prompttext", 5102);
    m_offline = MakePrompt("widget-searcheditbox-prompttextoffline", 5104);
    UpdateLayout();
}

UI::wtext* wsearcheditbox::MakePrompt(const char* name, int text_id)
{
    auto* prompt = new UI::wtext(name);
    prompt->SetFont("font_a12");
    prompt->SetColor({150, 150, 150});
    prompt->SetMouseTransparent(true);
    prompt->SetPos(FieldX, FieldY);
    prompt->SetHeight(FieldHeight);
    AddChild(prompt);
    prompt->SetSizeRule(3, 1, FieldLess, FieldHeight);
    prompt->SetText(text_of(text_id).c_str());
    prompt->Show(false);
    return prompt;
}

void wsearcheditbox::SetOnline(bool online)
{
    m_online = online;
    Invalidate();
}

bool wsearcheditbox::OnInputFinish(UI::EventArgs&)
{
    UI::EventArgs clicked;
    clicked.sender = m_button;
    FireEvent("button_clicked", clicked);
    UI::SetFocusedWidget(nullptr);
    return true;
}

void wsearcheditbox::DrawChildren()
{
    if (m_text == nullptr) {
        UI::window::DrawChildren();
        return;
    }
    if (!m_online && UI::GetFocusedWidget() == m_text) UI::SetFocusedWidget(nullptr);
    const bool focused = UI::GetFocusedWidget() == m_text;
    if (focused) m_highlight->Draw();
    UI::window::DrawChildren();
    if (!m_online)
        m_offline->Draw();
    else if (!focused && m_text->GetText().empty())
        m_prompt->Draw();
}
