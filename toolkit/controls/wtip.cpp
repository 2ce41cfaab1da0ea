#include "toolkit/controls/wtip.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/resMgr.h"

#include <cmath>

namespace UI {
namespace {

constexpr float TipHeight = 28;
constexpr float TextInset = 6;

constexpr float TextTop = 14;   // below the tip picture's top band

}  // namespace

wtip::wtip(std::string name) : window(std::move(name))
{
    SetZOrder(1000);
    // The tip lies over the widget it tells about: presses go through it to that widget.
    SetMouseTransparent(true);
    m_background = new wimage("image-tipsbg");
    // No skin table names "tipsbg": a skin without it gives the tip the
    // information field, which has no top band, so the text is centred on it.
    m_stand_in = !IsUsablePicture(SkinPicture("tipsbg"));
    m_background->SetPicture(m_stand_in ? "frame" : "tipsbg", {30, 14, 8, 8});
    AddChild(m_background);
    m_text = new wtext("wtext-tips-text");
    m_text->SetFont("font_a12");
    m_text->SetColor({0, 0, 255});
    m_text->SetTextFormat(4);
    m_text->SetPos(TextInset, TextTop);
    m_text->SetMouseTransparent(true);
    AddChild(m_text);
}

void wtip::SetText(const WCHAR* text) { m_text->SetTextDeferred(text, true); }

std::u16string wtip::GetText() const { return m_text->GetText(); }

void wtip::Draw()
{
    // The tree keeps its tip shown; until a widget gives it a text there is nothing to show.
    if (m_text->GetText().empty()) {
        SetDirty(false);
        return;
    }
    m_text->LayoutIfPending();
    const float width = m_text->GetTextSize().x + 2 * TextInset;
    SetSize(width, TipHeight);
    m_background->SetSize(width, TipHeight);
    if (m_stand_in)
        m_text->SetY(std::floor((TipHeight - m_text->GetTextSize().y) / 2));
    window::Draw();
}

}
