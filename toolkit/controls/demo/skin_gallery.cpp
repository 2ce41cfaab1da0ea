// skin_gallery --out gallery.png: composes one screen from the generated skin
// headless (frames with title buttons and logo, a channel tree with a
// highlighted node, a list with a scroll bar, a control bar, check and radio
// groups, status icons, a tooltip and captioned buttons) and saves it. Fails
// when a picture it asks for is missing or empty.

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wstatus.h"
#include "toolkit/resmgr/d3dresMgr.h"

#include "platform/base/Utf.h"
#include "platform/d3d9/D3DX.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <set>
#include <string>

namespace {

constexpr int Width = 800;
constexpr int Height = 500;
constexpr UI::fcolor Ink{31, 31, 31};
constexpr UI::fcolor Light{188, 188, 188};
constexpr UI::fcolor White{255, 255, 255};

// Every picture the screen asks for, checked before it is saved.
std::set<std::string>& asked()
{
    static std::set<std::string> names;
    return names;
}

class Gallery {
public:
    explicit Gallery(UI::widget& root) : m_root(root) {}

    UI::wimage* image(const std::string& picture, float x, float y, float w = 0, float h = 0, UI::Borders b = {})
    {
        asked().insert(picture);
        auto* made = new UI::wimage("image-" + std::to_string(++m_count));
        made->SetPicture(picture, b);
        made->SetPos(x, y);
        if (w > 0)
            made->SetSize(w, h);
        m_root.AddChild(made);
        return made;
    }
    UI::wbtn* button(const std::string& skin, float x, float y, float w = 0, float h = 0)
    {
        for (const char* state : {"_normal", "_highlight", "_pressed", "_disabled"})
            asked().insert(skin + state);
        auto* made = new UI::wbtn("button-" + std::to_string(++m_count));
        made->SetSkinByName(skin);
        made->SetPos(x, y);
        if (w > 0) {
            made->SetSize(w, h);
            made->SetBorders(5, 5, 5, 5);
        }
        m_root.AddChild(made);
        return made;
    }
    UI::wbtn* text(const std::u16string& caption, float x, float y, float w, float h, UI::fcolor colour,
                   const char* font = "font_a12", int format = 4 | 32)
    {
        auto* made = new UI::wbtn("text-" + std::to_string(++m_count));
        made->SetPos(x, y);
        made->SetSize(w, h);
        made->SetFont(font);
        made->SetTextColor(colour, colour);
        made->SetTextFormat(format);
        made->SetText(caption.c_str());
        made->SetMouseTransparent(true);
        m_root.AddChild(made);
        return made;
    }
    UI::widget& root() { return m_root; }

private:
    UI::widget& m_root;
    int m_count{0};
};

void frames(Gallery& g)
{
    g.image("black_image", 0, 0, Width, Height);
    g.image("topframe", 0, 0, Width, 32, {8, 8, 8, 8});
    g.image("logo", 8, 5);
    g.text(u"Strimo", 300, 0, 200, 32, Ink, "font_a12b", 1 | 4 | 32);
    g.button("btnminimize", Width - 66, 8);
    g.button("btnmaximize", Width - 46, 8);
    g.button("btnclose", Width - 26, 8)->SetState(UI::wbtn::Highlight);
    g.image("leftframe", 0, 32, 4, Height - 62, {2, 4, 2, 4});
    g.image("rightframe", Width - 4, 32, 4, Height - 62, {2, 4, 2, 4});
    g.image("bottomframe", 0, Height - 30, Width, 30, {8, 8, 8, 8});
    const struct { const char* icon; const char16_t* caption; } bar[] = {
        {"icon_add", u"Add"}, {"icon_remove", u"Remove"}, {"icon_removeall", u"Clear All"}};
    for (int i = 0; i < 3; ++i) {
        const float x = 10 + i * 110;
        g.button("functionbtn", x, Height - 25, 102, 19);
        g.image(bar[i].icon, x + 12, Height - 21);
        g.text(bar[i].caption, x + 28, Height - 25, 74, 19, Ink, "font_a12b");
    }
    g.button("functionbtn", Width - 112, Height - 25, 102, 19)->SetState(UI::wbtn::Highlight);
    g.text(u"Settings", Width - 112, Height - 25, 102, 19, Ink, "font_a12b", 1 | 4 | 32);
}

void tree(Gallery& g)
{
    g.image("rss-treewindow-bk", 8, 40, 220, 422, {8, 8, 100, 62});
    g.text(u"CHANNELS", 20, 44, 150, 24, Light, "font_a12b");
    const struct { const char* icon; const char16_t* caption; int prefetch; } rows[] = {
        {"icon_mychannel", u"My Channel", -1},    {"icon_YouTube", u"Top Rated", 2},
        {"icon_YouTube", u"Most Viewed", 1},      {"icon_YouTube", u"Recently Featured", 0},
        {"icon_MyFavorite", u"My Favorite", -1},  {"icon_search", u"Search Result", -1},
        {"icon_mydownload", u"My Download", -1},  {"icon_recentviewed", u"Recent Viewed", -1},
        {"icon_myipod", u"iPod", -1},             {"icon_options", u"Options", -1},
    };
    for (int i = 0; i < 10; ++i) {
        const float y = 76 + i * 24;
        const bool child = rows[i].prefetch >= 0;
        if (i == 2)
            g.image("rsstreenodehighlight", 12, y, 212, 24, {4, 4, 4, 4});
        if (i == 0)
            g.image("rsstreefoldernodearrow", 14, y + 6);
        g.image(rows[i].icon, child ? 40 : 28, y + 4);
        g.text(rows[i].caption, child ? 62 : 50, y, 140, 24, i == 2 ? White : Light, "font_a12");
        if (child) {
            auto* status = new UI::wstatus("prefetch-" + std::to_string(i));
            for (auto [state, picture] : {std::pair{0, "icon_prefetchoff"}, {1, "icon_prefetchon"}, {2, "icon_prefetchfinish"}}) {
                asked().insert(picture);
                status->AddState(state, picture);
            }
            status->m_state = rows[i].prefetch;
            status->SetPos(204, y + 6);
            status->SetSize(12, 12);
            g.root().AddChild(status);
        }
    }
    g.image("btnsearch", 20, 420);
    g.image("searchbar", 44, 420, 172, 19, {9, 9, 9, 9});
    g.text(u"Search YouTube", 54, 420, 150, 19, UI::fcolor{120, 120, 120});
}

void list(Gallery& g)
{
    g.image("rss-treeoptionwindow-bk", 236, 40, 330, 300, {8, 8, 8, 8});
    g.text(u"Most Viewed", 248, 44, 200, 24, Light, "font_a12b");
    const char16_t* titles[] = {u"Sunset over the harbour", u"City lights timelapse", u"Mountain trail in autumn",
                                u"Morning jazz session",    u"How to brew pour-over",  u"Northern lights, live",
                                u"Street food tour",        u"Drone flight over dunes", u"Piano cover: nocturne"};
    for (int i = 0; i < 9; ++i) {
        const float y = 74 + i * 26;
        g.image(i == 1 ? "rssitemhighlight" : "rssitembackground", 244, y, 300, 24, {4, 4, 4, 4});
        g.image(i == 1 ? "videofocusbg" : "videonormalbg", 248, y + 2, 26, 20, {4, 4, 4, 4});
        g.text(titles[i], 282, y, 200, 24, i == 1 ? White : Light);
        g.text(std::u16string(u"0") + char16_t(u'1' + i) + u":2" + char16_t(u'0' + i), 490, y, 50, 24, UI::fcolor{156, 156, 156});
    }
    g.image("progressbg", 550, 74, 6, 232, {0, 0, 0, 0});
    g.image("timeline", 550, 90, 6, 70);
    g.image("pageselect", 420, 312);
    g.image("pageunselect", 440, 312);
    g.image("pageunselect", 460, 312);
    g.image("pagenext", 480, 312);
    g.image("pagelast", 500, 312);
    g.text(u"1", 420, 312, 17, 15, White, "font_a10", 1 | 4 | 32);
    g.text(u"2", 440, 312, 17, 15, Light, "font_a10", 1 | 4 | 32);
    g.text(u"3", 460, 312, 17, 15, Light, "font_a10", 1 | 4 | 32);
}

void control_bar(Gallery& g)
{
    g.image("controlpanelbg", 221, 355);
    g.button("btnbackward", 245, 396);
    g.button("btnprevious", 275, 396);
    g.button("btnplay", 305, 390)->SetState(UI::wbtn::Highlight);
    g.button("btnnext", 347, 396);
    g.button("btnforward", 377, 396);
    g.button("btnmute", 430, 398);
    auto* volume = new UI::wsliderbar("volume");
    asked().insert("soundsliderbgh");
    volume->SetPos(456, 402);
    volume->SetSize(70, 12);
    volume->SetSkin("soundsliderbar", "soundsliderbgh");
    volume->UpdateValue(65);
    g.root().AddChild(volume);
    g.button("btnfullscreen", 540, 397);
    auto* progress = new UI::wprogress("progress");
    asked().insert("timeline");
    progress->SetPos(240, 370);
    progress->SetSize(320, 8);
    progress->SetSkin("timeline", "progressbg");
    progress->SetValue(42);
    g.root().AddChild(progress);
    g.text(u"01:24 / 03:20", 240, 424, 320, 16, Light, "font_a10", 1 | 4 | 32);
}

UI::wselectbtn* select(Gallery& g, const std::string& on, const std::string& off, float x, float y,
                       const std::u16string& caption)
{
    auto* made = new UI::wselectbtn(plat::utf16_to_utf8(caption), 0);
    g.root().AddChild(made);
    UI::wimage* mark = g.image(on, x, y);
    UI::wimage* image = g.image(off, x, y);
    made->SetMark(mark);
    made->SetImage(image);
    mark->SetVisible(false);
    g.text(caption, x + 22, y - 2, 150, 20, Ink);
    return made;
}

void settings(Gallery& g, UI::SelectGroup& radios)
{
    g.image("panelbg", 574, 40, 218, 300, {5, 5, 5, 5});
    g.text(u"SETTINGS", 586, 46, 180, 22, Ink, "font_a12b");
    select(g, "btnchecklighton_normal", "btnchecklightoff_normal", 590, 78, u"Prefetch new videos")->SetSelected(true);
    select(g, "btnchecklighton_normal", "btnchecklightoff_normal", 590, 100, u"Show search tips");
    select(g, "btnchecklighton_highlight", "btnchecklightoff_highlight", 590, 122, u"Start with the system");
    const char16_t* sizes[] = {u"Small window", u"Large window", u"Full screen"};
    for (int i = 0; i < 3; ++i) {
        UI::wselectbtn* radio = select(g, "btnradioon_normal", "btnradiooff_normal", 590, 156 + i * 22, sizes[i]);
        radios.push_back(radio);
        radio->SetGroup(&radios);
    }
    radios[1]->SetSelected(true);
    g.text(u"Cache size (MB)", 590, 228, 120, 19, Ink);
    g.image("textinputbg", 700, 228, 60, 19, {5, 5, 5, 5});
    g.text(u"512", 706, 228, 50, 19, Ink);
    g.image("textinputbg", 590, 254, 170, 19, {5, 5, 5, 5});
    g.text(u"~/Videos/Strimo", 596, 254, 160, 19, Ink);
    g.button("functionbtn", 618, 300, 72, 19);
    g.text(u"Cancel", 618, 300, 72, 19, Ink, "font_a12", 1 | 4 | 32);
    g.button("functionbtn", 700, 300, 72, 19)->SetState(UI::wbtn::Pressed);
    g.text(u"Apply", 700, 300, 72, 19, White, "font_a12", 1 | 4 | 32);
}

void status_and_tip(Gallery& g)
{
    g.image("icon_loading2", 590, 360);
    g.image("buffer", 650, 368);
    g.image("icon_big_MyFavorite", 700, 368);
    g.image("icon_big_UnFavorite", 740, 368);
    g.image("WarningDialogIcon", 590, 420);
    g.text(u"No Availabe Content", 628, 420, 160, 32, Light);
    g.image("frame", 440, 330, 126, 26, {6, 6, 6, 6});
    g.text(u"Add to favorite", 440, 330, 126, 26, Ink, "font_a12", 1 | 4 | 32);
}

bool save(RenderEngine::backbuffer* canvas, const char* out)
{
    auto* surface = dynamic_cast<RenderEngine::d3dbackbuffer*>(canvas);
    if (!surface || !surface->GetTexture())
        return false;
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(surface->GetTexture()->GetD3DTexture());
    const std::u16string path = plat::utf8_to_utf16(out);
    return texture && SUCCEEDED(D3DXSaveTextureToFileW(path.c_str(), D3DXIFF_PNG, texture.get(), nullptr));
}

}  // namespace

int main(int argc, char** argv)
{
    const char* out = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--out") == 0)
            out = argv[i + 1];
    if (!out) {
        std::fprintf(stderr, "usage: skin_gallery --out FILE.png\n");
        return 2;
    }
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("STRIMO_SCREEN_SIZE", "800x500", 0);
    UI::d3dresMgr manager;
    manager.Init(nullptr);
    auto* renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
    auto device = plat::ComPtr<IDirect3DDevice9>::adopt(manager.GetDevice());
    auto sprite = plat::ComPtr<ID3DXSprite>::adopt(manager.GetSprite());
    renderer->SetDevice(device.get());
    renderer->SetSprite(sprite.get());
    RenderEngine::InitRenderTargets();
    manager.LoadSkin(u"");

    UI::widget root("gallery");
    root.SetSize(Width, Height);
    Gallery g(root);
    UI::SelectGroup radios;
    frames(g);
    tree(g);
    list(g);
    control_bar(g);
    settings(g, radios);
    status_and_tip(g);
    root.UpdateLayout();

    int missing = 0;
    for (const auto& name : asked())
        if (!UI::IsUsablePicture(manager.GetPicture(name))) {
            std::fprintf(stderr, "skin_gallery: picture \"%s\" is missing or empty\n", name.c_str());
            ++missing;
        }
    if (missing)
        return 1;

    std::unique_ptr<RenderEngine::backbuffer> canvas(manager.CreateBackBuffer(Width, Height, true));
    RenderEngine::PushRenderTarget(canvas.get(), true, 0, 18, 18, 18);
    root.Draw();
    RenderEngine::PopRenderTarget();
    const bool saved = save(canvas.get(), out);
    renderer->SetSprite(nullptr);
    renderer->SetDevice(nullptr);
    if (!saved) {
        std::fprintf(stderr, "skin_gallery: cannot write %s\n", out);
        return 1;
    }
    return 0;
}
