// skin_gallery [--out gallery.png] [--window]: composes one screen from the generated skin
// headless (frames with title buttons and logo, a channel tree of tree nodes
// with a highlighted node, a list with a scroll bar, a control bar, check and
// radio groups, status icons, a tooltip and captioned buttons) and saves it.
// Fails when a picture it asks for is missing or empty. --window also shows
// it in a window (on a display, or under Xvfb) until the window is closed.

#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wlist.h"
#include "toolkit/controls/wlistitem.h"
#include "toolkit/controls/wprogress.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wstatus.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/controls/wtip.h"
#include "toolkit/controls/wtreenode.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include "platform/base/Utf.h"
#include "platform/d3d9/D3DX.h"
#include "platform/window/PresentWindow.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include <SDL2/SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr int Width = 800;
constexpr int Height = 500;
using UI::ask_picture;
using UI::ask_strip;
using UI::skin_label;
using Gallery = UI::SkinScreen;
constexpr UI::fcolor Ink = UI::SkinInk;
constexpr UI::fcolor Light = UI::SkinLight;
constexpr UI::fcolor White = UI::SkinWhite;

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
        g.captioned(bar[i].caption, x, Height - 25, 102, Ink);
        g.image(bar[i].icon, x + 12, Height - 21);
    }
    g.captioned(u"Settings", Width - 112, Height - 25, 102, Ink)->SetState(UI::wbtn::Highlight);
}

// One row of the channel tree: its icon and label are the node's children.
UI::wtreenode* channel(UI::wtreenode& parent, const char* icon, const std::u16string& caption, float indent)
{
    return UI::tree_row(parent, icon, caption, indent);
}

void tree(Gallery& g)
{
    g.image("rss-treewindow-bk", 8, 40, 220, 422, {8, 8, 100, 62});
    ask_picture("rsstreenodehighlight");
    auto* top = new UI::wtreenode("rss-tree");
    top->SetPos(12, 44);
    top->SetSize(212, 24);
    g.root().AddChild(top);
    skin_label(*top, u"CHANNELS", 8, 0, 150, 24, Light, "font_a12b");
    UI::wtreenode* mine = channel(*top, "icon_mychannel", u"My Channel", 0);
    ask_picture("rsstreefoldernodearrow");
    mine->AddImage("arrow", "rsstreefoldernodearrow", 2, 6, 0, 0);
    const struct { const char16_t* caption; int prefetch; } feeds[] = {
        {u"Top Rated", 2}, {u"Most Viewed", 1}, {u"Recently Featured", 0}};
    UI::wtreenode* chosen = nullptr;
    for (const auto& feed : feeds) {
        UI::wtreenode* node = channel(*mine, "icon_YouTube", feed.caption, 7);
        auto* status = new UI::wstatus("prefetch");
        for (auto [state, picture] : {std::pair{0, "icon_prefetchoff"}, {1, "icon_prefetchon"}, {2, "icon_prefetchfinish"}}) {
            ask_picture(picture);
            status->AddState(state, picture);
        }
        status->m_state = feed.prefetch;
        status->SetPos(187, 6);
        status->SetSize(12, 12);
        node->AddChild(status);
        if (feed.prefetch == 1)
            chosen = node;
    }
    mine->SetCollapsed(false);
    const struct { const char* icon; const char16_t* caption; } rest[] = {
        {"icon_MyFavorite", u"My Favorite"},     {"icon_search", u"Search Result"},
        {"icon_mydownload", u"My Download"},     {"icon_recentviewed", u"Recent Viewed"},
        {"icon_myipod", u"iPod"},                {"icon_options", u"Options"}};
    for (const auto& r : rest) channel(*top, r.icon, r.caption, 0);
    top->SetCollapsed(false);
    top->LayoutNodes();
    mine->SelectNode(chosen);
    for (UI::widget* child : chosen->ChildrenInZOrder())
        if (auto* text = dynamic_cast<UI::wtext*>(child))
            text->SetColor(White);
    g.image("btnsearch", 20, 420);
    g.image("searchbar", 44, 420, 172, 19, {9, 9, 9, 9});
    g.text(u"Search YouTube", 54, 420, 150, 19, UI::fcolor{120, 120, 120});
}

// The list's text cells of one row: coloured and centred on the row's height.
void style_row(UI::wlistitem& row, UI::fcolor title, UI::fcolor rest)
{
    bool first = true;
    for (UI::widget* child : row.ChildrenInZOrder())
        if (auto* text = dynamic_cast<UI::wtext*>(child)) {
            text->SetColor(first ? title : rest);
            text->SetTextFormat(4 | 32);
            first = false;
        }
}

void list(Gallery& g)
{
    g.image("rss-treeoptionwindow-bk", 236, 40, 330, 300, {8, 8, 8, 8});
    g.text(u"Most Viewed", 248, 44, 200, 24, Light, "font_a12b");
    for (const char* picture : {"rssitembackground", "rssitemhighlight", "videonormalbg", "videofocusbg", "progressbg"})
        ask_picture(picture);
    ask_strip("soundsliderbar");
    UI::wlist* videos = g.root().AddList("videos", 244, 74, 312, 234);
    videos->SetColumns({{0, 1, 300, 24}, {4, 3, 26, 20}, {38, 1, 200, 24}, {246, 1, 50, 24}});
    videos->SetSkin({"", "", "rssitemhighlight", "", "soundsliderbar", "progressbg", 312, 234, 26});
    const char16_t* titles[] = {u"Sunset over the harbour", u"City lights timelapse", u"Mountain trail in autumn",
                                u"Morning jazz session",    u"How to brew pour-over",  u"Northern lights, live",
                                u"Street food tour",        u"Drone flight over dunes", u"Piano cover: nocturne",
                                u"Rainy cafe ambience",     u"Glacier kayak trip",     u"Old town at dawn"};
    for (int i = 0; i < 12; ++i) {
        videos->SetItemImage(0, i, i == 1 ? "rssitemhighlight" : "rssitembackground");
        videos->SetItemImage(1, i, i == 1 ? "videofocusbg" : "videonormalbg");
        UI::wlistitem* row = videos->GetRow(i);
        for (UI::widget* cell : row->ChildrenInZOrder())
            if (auto* image = dynamic_cast<UI::wimage*>(cell))
                image->SetBorders(4, 4, 4, 4);
        videos->SetItemText(2, i, titles[i]);
        const std::u16string length = std::u16string(u"0") + char16_t(u'1' + i % 9) + u":2" + char16_t(u'0' + i % 10);
        videos->SetItemText(3, i, length.c_str());
        style_row(*row, Light, UI::fcolor{156, 156, 156});
    }
    // The pointer rests on the second row; the scroll thumb shows the accent.
    UI::MouseEventArgs over;
    videos->GetRow(1)->OnMouseMove(over);
    style_row(*videos->GetRow(1), White, White);
    static_cast<UI::wbtn*>(videos->GetScrollBar()->GetThumb())->SetState(UI::wbtn::Pressed);
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
    ask_picture("soundsliderbgh");
    volume->SetPos(456, 402);
    volume->SetSize(70, 12);
    volume->SetSkin("soundsliderbar", "soundsliderbgh");
    volume->UpdateValue(65);
    g.root().AddChild(volume);
    g.button("btnfullscreen", 540, 397);
    auto* progress = new UI::wprogress("progress");
    ask_picture("timeline");
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
    g.captioned(u"Cancel", 618, 300, 72, Ink);
    g.captioned(u"Apply", 700, 300, 72, White)->SetState(UI::wbtn::Pressed);
}

void status_and_tip(Gallery& g)
{
    g.image("icon_loading2", 590, 360);
    g.image("buffer", 650, 368);
    g.image("icon_big_MyFavorite", 700, 368);
    g.image("icon_big_UnFavorite", 740, 368);
    g.image("WarningDialogIcon", 590, 420);
    g.text(u"No Availabe Content", 628, 420, 160, 32, Light);
    ask_picture("frame");   // the tooltip's nine-grid in this skin
    auto* tip = new UI::wtip("tips");
    g.root().AddChild(tip);
    tip->SetPos(372, 118);
    tip->SetText(u"Add to favorite");
}

// Presents the composed screen once and keeps showing it until the window closes.
bool show_window(RenderEngine::D3D9Render& renderer, RenderEngine::backbuffer* canvas)
{
    auto window = plat::PresentWindow::create("Strimo skin gallery", Width, Height);
    if (!window)
        return false;
    renderer.BeginFrame();
    RenderEngine::DrawBackBuffer(canvas, 0, 0, Width, Height, 1);
    renderer.PresentToWindow(window->hwnd(), nullptr);
    SDL_Event event;
    while (SDL_WaitEvent(&event)) {
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
            break;
        if (event.type == plat::PresentWindow::frame_event_type())
            window->show_pending_frame();
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* out = nullptr;
    bool windowed = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc)
            out = argv[++i];
        else if (std::strcmp(argv[i], "--window") == 0)
            windowed = true;
    }
    if (!out && !windowed) {
        std::fprintf(stderr, "usage: skin_gallery [--out FILE.png] [--window]\n");
        return 2;
    }
    if (!windowed)
        setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("STRIMO_SCREEN_SIZE", "800x500", 0);
    UI::SkinRenderer skin;
    UI::d3dresMgr& manager = skin.manager();

    UI::window root("gallery");
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

    if (UI::count_missing_pictures(manager, "skin_gallery"))
        return 1;

    std::unique_ptr<RenderEngine::backbuffer> canvas(manager.CreateBackBuffer(Width, Height, true));
    RenderEngine::PushRenderTarget(canvas.get(), true, 0, 18, 18, 18);
    root.Draw();
    RenderEngine::PopRenderTarget();
    int result = 0;
    if (out && !UI::save_png(canvas.get(), out)) {
        std::fprintf(stderr, "skin_gallery: cannot write %s\n", out);
        result = 1;
    }
    if (windowed && !show_window(skin.renderer(), canvas.get())) {
        std::fprintf(stderr, "skin_gallery: no window can be opened (is there a display?)\n");
        result = 1;
    }
    return result;
}
