#include "toolkit/controls/wtip.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/resMgr.h"

namespace UI {
namespace {

constexpr float TipHeight = 28;
constexpr float TextInset = 6;

// No skin table names "tipsbg", so a skin without it gives the tip the
// information field's picture rather than no background at all.
std::string background_picture()
{
    return IsUsablePicture(SkinPicture("tipsbg")) ? "tipsbg" : "frame";
}

}  // namespace

wtip::wtip(std::string name) : window(std::move(name))
{
    SetZOrder(1000);
    m_background = new wimage("image-tipsbg");
    m_background->SetPicture(background_picture(), {30, 14, 8, 8});
    AddChild(m_background);
    m_text = new wtext("wtext-tips-text");
    m_text->SetFont("font_a12");
    m_text->SetColor({0, 0, 255});
    m_text->SetTextFormat(4);
    m_text->SetPos(TextInset, 14);
    AddChild(m_text);
}

void wtip::SetText(const WCHAR* text) { m_text->SetTextDeferred(text, true); }

std::u16string wtip::GetText() const { return m_text->GetText(); }

void wtip::Draw()
{
    m_text->LayoutIfPending();
    const float width = m_text->GetTextSize().x + 2 * TextInset;
    SetSize(width, TipHeight);
    m_background->SetSize(width, TipHeight);
    window::Draw();
}

}
