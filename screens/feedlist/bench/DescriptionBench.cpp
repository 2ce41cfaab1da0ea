// The description view against a plain text drawing of the same page: the 25
// item descriptions of a page written into the item page, laid out at 613
// and painted by our HTML view, against the same texts with their tags
// stripped by libxml2's HTML parser and drawn line by line with the D3DX
// font of the software device. Rows per second for both, and their ratio.

#include "screens/feedlist/wie.h"

#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlTree.h"
#include "platform/html/HtmlView.h"
#include "toolkit/render/bench/Rounds.h"

#include <libxml/HTMLparser.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int Rows = 25;
constexpr int Width = 613;

// What the feed parser writes for an item: its thumbnail, title, text and length.
std::string description(int n)
{
    return "<div class=\"item\"><img src=\"http://127.0.0.1:1/thumbs/" + std::to_string(n) +
           ".jpg\" width=\"130\" height=\"90\"/><p class=\"title\">Item " + std::to_string(n) +
           ": a walk along the harbour</p><p class=\"text\">A short film of the harbour at dusk, the boats coming "
           "home and the lights going on along the quay, told by the people who work there every day.</p>"
           "<span class=\"label\">Time:</span><span class=\"time\">" + std::to_string(n % 9 + 1) + ":07</span></div>";
}

void collect_text(xmlNode* node, std::string& out)
{
    for (; node; node = node->next) {
        if (node->type == XML_TEXT_NODE && node->content) out += reinterpret_cast<const char*>(node->content);
        collect_text(node->children, out);
    }
}

std::string stripped(const std::string& html)
{
    htmlDocPtr doc = htmlReadMemory(html.data(), int(html.size()), nullptr, "UTF-8",
                                    HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET);
    std::string text;
    if (doc) collect_text(xmlDocGetRootElement(doc), text);
    xmlFreeDoc(doc);
    return text;
}

// Lines of at most 100 characters, broken at blanks.
std::vector<std::u16string> lines_of(const std::string& text)
{
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::min(text.size(), start + 100);
        if (end < text.size()) {
            const std::size_t blank = text.rfind(' ', end);
            if (blank != std::string::npos && blank > start) end = blank;
        }
        lines.push_back(plat::utf8_to_utf16(text.substr(start, end - start)));
        start = end + 1;
    }
    return lines;
}

}  // namespace

int main()
{
    auto d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = Width + 21;
    pp.BackBufferHeight = 300;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.Windowed = TRUE;
    plat::ComPtr<IDirect3DDevice9> device;
    plat::ComPtr<ID3DXFont> font;
    D3DXFONT_DESCW desc{};
    desc.Height = -12;
    desc.Weight = 400;
    std::memcpy(desc.FaceName, u"Arial", 10);
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, device.put())) ||
        FAILED(D3DXCreateFontIndirectW(device.get(), &desc, font.put()))) {
        std::puts("no device");
        return 1;
    }
    std::vector<std::string> descriptions;
    for (int i = 0; i < Rows; ++i) descriptions.push_back(description(i));
    std::vector<std::uint32_t> texels;

    auto view_page = [&](int) {
        for (const std::string& html : descriptions) {
            auto tree = plat::html::parse_document(std::string(UI::ItemPage) + html);
            plat::html::HtmlView view;
            view.load(*tree, UI::ItemStyle);
            const int height = std::max(112, view.layout(Width));
            const int w = Width + 21, h = height + 21;
            texels.assign(std::size_t(w) * h, 0);
            view.paint(texels.data(), w, h, w * 4, 2, 2);
        }
    };
    auto text_page = [&](int) {
        for (const std::string& html : descriptions) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff121212u, 1.0f, 0);
            int y = 2;
            for (const std::u16string& line : lines_of(stripped(html))) {
                RECT rect{2, y, 2 + Width, y + 16};
                font->DrawTextW(nullptr, line.c_str(), -1, &rect, DT_LEFT | DT_SINGLELINE | DT_NOCLIP, 0xffbcbcbcu);
                y += 16;
            }
        }
    };

    const bench::Rates rates = bench::interleaved_rates(view_page, text_page);
    std::printf("rows per page: %d\n", Rows);
    std::printf("HTML view (parse, lay out, paint):    %.1f rows/s\n", rates.ours * Rows);
    std::printf("stripped text with the D3DX font:     %.1f rows/s\n", rates.rival * Rows);
    std::printf("ratio (view / stripped text): %.2f\n", rates.ours / rates.rival);
    return 0;
}
