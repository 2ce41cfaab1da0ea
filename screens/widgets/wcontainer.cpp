#include "screens/widgets/wcontainer.h"

#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/resmgr/d3dresMgr.h"

#include <string>

namespace UI {

wcontainer::wcontainer(std::string name) : window(std::move(name)) {}

void wcontainer::SetLineWidth(float width)
{
    m_line_width = width;
}

wcontainer::Line* wcontainer::MakeRoom()
{
    if (m_lines.empty()) {
        m_lines.push_back(m_template);
        return &m_lines.back();
    }
    if (!m_lines.back().wrapped) return &m_lines.back();
    m_total_height += m_lines.back().height + m_line_spacing;
    if (m_template.max_height > 0 && m_total_height > m_template.max_height) return nullptr;
    Line next = m_template;
    next.y = m_total_height;
    m_lines.push_back(next);
    return &m_lines.back();
}

std::size_t wcontainer::FittingLength(std::u16string_view text, const std::string& font, float room)
{
    d3dresMgr* manager = d3dresMgr::Instance();
    RenderEngine::font* measure = manager ? manager->GetFont(font) : nullptr;
    std::size_t last_blank = std::u16string_view::npos;
    float sum = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        sum += measure ? measure->CharWidth(text[i]) : 0;
        if (sum > room) {
            // After the last blank when the head keeps something; a line never stays empty.
            if (last_blank != std::u16string_view::npos && last_blank > 0) return last_blank + 1;
            return i > 0 ? i : 1;
        }
        if (text[i] == u' ') last_blank = i;
    }
    return text.size();
}

void wcontainer::AddText(std::u16string_view text, const std::string& font, fcolor colour)
{
    while (!text.empty()) {
        Line* line = MakeRoom();
        if (line == nullptr) return;
        auto* piece = new wtext("wtext-wcontainer-text");
        piece->SetFont(font);
        piece->SetColor(colour);
        piece->SetMouseTransparent(IsMouseTransparent());
        piece->SetPos(line->x, line->y);
        piece->SetHeight(line->height);
        AddChild(piece);
        m_texts.push_back(piece);
        piece->SetText(std::u16string(text).c_str());
        const float room = m_line_width - line->x;
        if (piece->GetTextSize().x <= room) {
            line->x += piece->GetTextSize().x;
            return;
        }
        const std::size_t head = FittingLength(text, font, room);
        line->wrapped = true;
        piece->SetText(std::u16string(text.substr(0, head)).c_str());
        piece->SetWidth(piece->GetTextSize().x);
        text.remove_prefix(head);
    }
}

void wcontainer::AddImage(const std::string& picture)
{
    Line* line = MakeRoom();
    if (line == nullptr) return;
    auto* image = new wimage("wtext-wcontainer-image");
    image->SetPicture(picture);
    image->SetPos(line->x + 5, line->y);
    AddChild(image);
    if (m_line_width - line->x < image->GetWidth()) {
        line->wrapped = true;
        line = MakeRoom();
        if (line == nullptr) {
            RemoveChild(image);
            delete image;
            return;
        }
        image->SetPos(line->x + 5, line->y);
    }
    line->x += image->GetWidth() + 10;
}

}
