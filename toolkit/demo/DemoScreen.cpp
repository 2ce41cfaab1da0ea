#include "toolkit/demo/DemoScreen.h"

#include "toolkit/controls/demo/SkinScreen.h"
#include "toolkit/controls/wlist.h"
#include "toolkit/controls/wlistitem.h"
#include "toolkit/controls/wsliderbar.h"
#include "toolkit/controls/wtreenode.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/resmgr/MainRender.h"
#include "toolkit/render/render.h"
#include "toolkit/sound/CAudioServer.h"
#include "toolkit/sound/CInstantAudioRender.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/EventSet.h"

#include "platform/base/Resources.h"
#include "platform/base/Utf.h"
#include "platform/window/Messages.h"
#include "platform/window/Window.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

using UI::SkinLight;
using UI::SkinInk;

// Position and size rules (see selflayout.h): 1 a fixed value, 2 from the far
// edge, 3 the parent's size less the value.
constexpr int Fixed = 1, FarEdge = 2, ParentLess = 3;

// A 30 ms click: a decaying 2 kHz tone, 16-bit mono PCM in a RIFF/WAVE file.
std::string click_wave()
{
    constexpr int rate = 22050, frames = rate * 30 / 1000;
    std::string data;
    for (int i = 0; i < frames; ++i) {
        const double t = double(i) / rate;
        const auto sample = std::int16_t(9000 * std::exp(-t * 150) * std::sin(2 * 3.14159265 * 2000 * t));
        data.push_back(char(sample & 0xff));
        data.push_back(char((sample >> 8) & 0xff));
    }
    auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    return "RIFF" + u32(36 + std::uint32_t(data.size())) + "WAVE" + "fmt " + u32(16) + u16(1) + u16(1) + u32(rate) +
           u32(rate * 2) + u16(2) + u16(16) + "data" + u32(std::uint32_t(data.size())) + data;
}

UI::fcolor row_colour(int row) { return row % 2 ? UI::fcolor{156, 156, 156} : SkinLight; }

}

unsigned FrameNotice::RequestRedraw() { return ++m_requested; }

long FrameNotice::InvalidateLayer(int)
{
    RequestRedraw();
    return 0;
}

long FrameNotice::Render()
{
    m_drawn = m_requested;
    return 0;
}

long FrameNotice::OnDeviceEvent(DWORD code, intptr_t, intptr_t)
{
    // Called on the compose thread after the frame went to the window.
    if (code == 0x10002 && m_hwnd)
        PostMessageW(m_hwnd, WM_DEMO_FRAME_SHOWN, m_drawn, 0);
    return 0;
}

DemoScreen::~DemoScreen() { UI::ReleaseMainRender(m_render); }

RenderEngine::render* DemoScreen::CreateRender(HWND main)
{
    m_main = main;
    m_frames.SetHwnd(main);
    m_render = UI::CreateMainRender(m_resources, main);
    return m_render;
}

int DemoScreen::MissingPictures() { return UI::count_missing_pictures(m_resources, "toolkit_demo"); }

void DemoScreen::LoadSkin() { m_resources.LoadSkin(u""); }

void DemoScreen::InitRenderTargets() { RenderEngine::InitRenderTargets(); }

void DemoScreen::CreateScreens()
{
    RECT client{};
    GetClientRect(m_main, &client);
    m_root.SetSize(float(client.right), float(client.bottom));
    BuildFrames();
    BuildTreePanel();
    BuildList();
    BuildSettings();
    m_root.UpdateLayout();
}

// The window's frame follows its size: bands stretch, the close button and
// the bottom band keep to the far edges.
void DemoScreen::BuildFrames()
{
    UI::SkinScreen g(m_root);
    g.image("black_image", 0, 0)->SetSizeRule(ParentLess, ParentLess, 0, 0);
    g.image("topframe", 0, 0, 1, 32, {8, 8, 8, 8})->SetSizeRule(ParentLess, Fixed, 0, 32);
    g.image("logo", 8, 5);
    g.text(u"Strimo toolkit demo", 0, 0, 240, 32, SkinInk, "font_a12b", 1 | 4 | 32)->SetPosRule(4, Fixed, 0, 0);
    g.button("btnclose", 0, 8)->SetPosRule(FarEdge, Fixed, 8, 8);
    for (auto [picture, rule] : {std::pair{"leftframe", Fixed}, {"rightframe", FarEdge}}) {
        UI::wimage* side = g.image(picture, 0, 32, 4, 1, {2, 4, 2, 4});
        side->SetPosRule(rule, Fixed, 0, 32);
        side->SetSizeRule(Fixed, ParentLess, 4, 62);
    }
    UI::wimage* bottom = g.image("bottomframe", 0, 0, 1, 30, {8, 8, 8, 8});
    bottom->SetPosRule(Fixed, FarEdge, 0, 0);
    bottom->SetSizeRule(ParentLess, Fixed, 0, 30);
    m_status = g.text(u"", 12, 0, 400, 30, SkinInk);
    m_status->SetPosRule(Fixed, FarEdge, 12, 0);
}

void DemoScreen::BuildTreePanel()
{
    UI::SkinScreen g(m_root);
    g.image("rss-treewindow-bk", 8, 40, 190, 1, {8, 8, 100, 62})->SetSizeRule(Fixed, ParentLess, 190, 78);
    UI::ask_picture("rsstreenodehighlight");
    auto* top = new UI::wtreenode("library");
    top->SetPos(12, 44);
    top->SetSize(182, 24);
    m_root.AddChild(top);
    UI::skin_label(*top, u"LIBRARY", 8, 0, 150, 24, SkinLight, "font_a12b");
    UI::wtreenode* channels = UI::tree_row(*top, "icon_mychannel", u"My Channel", 0, 182);
    UI::ask_picture("rsstreefoldernodearrow");
    channels->AddImage("arrow", "rsstreefoldernodearrow", 2, 6, 0, 0);
    for (const char16_t* feed : {u"Top Rated", u"Most Viewed", u"Café Concerts"})
        UI::tree_row(*channels, "icon_YouTube", feed, 7, 182);
    channels->SetCollapsed(false);
    UI::tree_row(*top, "icon_MyFavorite", u"My Favorite", 0, 182);
    UI::tree_row(*top, "icon_mydownload", u"My Download", 0, 182);
    UI::tree_row(*top, "icon_search", u"Search Result", 0, 182);
    top->SetCollapsed(false);
    top->LayoutNodes();
}

void DemoScreen::BuildList()
{
    UI::SkinScreen g(m_root);
    g.image("rss-treeoptionwindow-bk", 206, 40, 250, 272, {8, 8, 8, 8});
    g.text(u"Videos", 218, 44, 200, 24, SkinLight, "font_a12b");
    for (const char* picture : {"rssitembackground", "rssitemhighlight", "progressbg"})
        UI::ask_picture(picture);
    UI::ask_strip("soundsliderbar");
    m_list = m_root.AddList("videos", 214, 74, 234, 230);
    m_list->SetColumns({{0, 1, 208, 23}, {10, 1, 150, 23}, {164, 1, 40, 23}});
    m_list->SetSkin({"", "", "rssitemhighlight", "", "soundsliderbar", "progressbg", 234, 230, 23});
    const char16_t* titles[] = {u"Sunset over the harbour", u"City lights timelapse", u"Mountain trail",
                                u"Morning jazz session",    u"Pour-over coffee",      u"Northern lights",
                                u"Street food tour",        u"Dunes from a drone",    u"Piano nocturne",
                                u"Rainy café ambience",     u"Glacier kayak trip",    u"Old town at dawn",
                                u"Harbour at night",        u"Tea ceremony",          u"Autumn forest walk"};
    for (int i = 0; i < 15; ++i) {
        m_list->SetItemImage(0, i, "rssitembackground");
        m_list->SetItemText(1, i, titles[i]);
        const std::u16string length = u"0" + std::u16string(1, char16_t(u'1' + i % 9)) + u":" +
                                      std::u16string(1, char16_t(u'0' + i % 6)) + u"5";
        m_list->SetItemText(2, i, length.c_str());
        for (UI::widget* cell : m_list->GetRow(i)->ChildrenInZOrder())
            if (auto* text = dynamic_cast<UI::wtext*>(cell)) {
                text->SetColor(row_colour(i));
                text->SetTextFormat(4 | 32);
            }
    }
}

// The settings panel keeps to the window's right edge; its controls sit inside it.
void DemoScreen::BuildSettings()
{
    auto* panel = new UI::window("settings");
    panel->SetPos(0, 40);
    panel->SetSize(170, 272);
    panel->SetPosRule(FarEdge, Fixed, 8, 40);
    m_root.AddChild(panel);
    UI::SkinScreen g(*panel);
    g.image("panelbg", 0, 0, 170, 272, {5, 5, 5, 5});
    g.text(u"NOTE", 12, 6, 140, 22, SkinInk, "font_a12b");
    g.image("textinputbg", 10, 32, 150, 21, {5, 5, 5, 5});
    m_field = new UI::wtext("note");
    m_field->SetPos(14, 32);
    m_field->SetSize(142, 21);
    m_field->SetFont("font_a12");
    m_field->SetColor(SkinInk);
    m_field->SetTextFormat(4 | 32);
    panel->AddChild(m_field);
    m_field->SetEditable(true);
    m_click_button = g.captioned(u"Click me", 10, 66, 96, SkinInk);
    m_counts = g.text(u"", 10, 92, 150, 20, SkinInk);
    g.text(u"Volume", 12, 124, 140, 20, SkinInk, "font_a12b");
    UI::ask_picture("soundsliderbgh");
    m_volume = new UI::wsliderbar("volume");
    m_volume->SetPos(12, 150);
    m_volume->SetSize(146, 12);
    m_volume->SetSkin("soundsliderbar", "soundsliderbgh");
    m_volume->UpdateValue(65);
    panel->AddChild(m_volume);
}

void DemoScreen::SubscribeControllerEvents()
{
    auto& events = UI::GlobalEventSet::Instance();
    events.GetEvent("button_clicked", true)->Subscribe(&DemoScreen::OnButtonClicked, this);
    events.GetEvent("slider_moveto", true)->Subscribe(&DemoScreen::OnVolumeMoved, this);
    events.GetEvent("treenode_clicked", true)->Subscribe(&DemoScreen::OnNodeClicked, this);
}

void DemoScreen::BuildTree()
{
    UI::uiMgr& ui = UI::uiMgr::Instance();
    ui.SetHooks(this);
    ui.SetRoot(&m_root);
}

void DemoScreen::StartController()
{
    plat::add_resource(u"click", u"WAVE", click_wave());
    CAudioServer::Instance().Init(m_main);
    if (SUCCEEDED(CAudioServer::Instance().CreateRender(&m_sounds, 0)))
        m_click_sound = m_sounds->LoadSound(u"click");
    CMutexGuard hold(UIRenderMutex());
    ShowCounts();
}

void DemoScreen::PlaceScreens() { ShowCounts(); }

// The wheel over the list scrolls it a row a notch by moving its scroll bar,
// as a drag of the thumb would. The wheel's point is on the screen.
bool DemoScreen::OnMouseWheel(int delta, int screen_x, int screen_y)
{
    RECT window{};
    GetWindowRect(m_main, &window);
    const int x = screen_x - window.left, y = screen_y - window.top;
    const UI::fpoint origin = m_list->GetScreenOrigin();
    if (x < origin.x || y < origin.y || x >= origin.x + m_list->GetWidth() || y >= origin.y + m_list->GetHeight())
        return false;
    UI::wsliderbar* bar = m_list->GetScrollBar();
    const int hidden = m_list->GetRowCount() - m_list->GetRowsThatFit();
    if (!bar || hidden <= 0)
        return true;
    const float rows = -float(delta) / WHEEL_DELTA;
    bar->UpdateValue(std::clamp(bar->GetValue() + rows * bar->GetRange() / float(hidden), 0.0f, bar->GetRange()));
    UI::ValueEventArgs moved;
    moved.sender = bar;
    moved.value = intptr_t(std::lround(bar->GetValue()));
    bar->GetEvent("slider_moveto", true)->Fire(moved);
    ShowCounts();
    return true;
}

bool DemoScreen::OnButtonClicked(UI::EventArgs& e)
{
    if (e.sender != m_click_button)
        return false;
    ++m_clicks;
    if (m_sounds && m_click_sound > 0 && SUCCEEDED(m_sounds->Play(m_click_sound)))
        ++m_sounds_played;
    ShowCounts();
    return false;
}

bool DemoScreen::OnVolumeMoved(UI::EventArgs& e)
{
    if (e.sender != m_volume)
        return false;
    if (m_sounds)
        m_sounds->SetVolume(int(static_cast<UI::ValueEventArgs&>(e).value));
    ShowCounts();
    return false;
}

bool DemoScreen::OnNodeClicked(UI::EventArgs& e)
{
    if (e.sender)
        m_selected = plat::utf8_to_utf16(e.sender->GetName());
    ShowCounts();
    return false;
}

void DemoScreen::ShowCounts()
{
    const std::u16string clicks = plat::utf8_to_utf16("Clicks: " + std::to_string(m_clicks) +
                                                      "   Sounds: " + std::to_string(m_sounds_played));
    m_counts->SetText(clicks.c_str());
    const DemoState now = state();
    const std::u16string status = plat::utf8_to_utf16(
        "Volume " + std::to_string(now.volume) + "   First row " + std::to_string(now.first_row + 1) + "   " +
        std::to_string(now.width) + " x " + std::to_string(now.height));
    m_status->SetText(status.c_str());
}

DemoState DemoScreen::state() const
{
    return {m_field->GetText(),
            m_list->GetFirstVisibleRow(),
            int(std::lround(m_volume->GetValue())),
            m_clicks,
            m_sounds_played,
            m_selected,
            int(m_root.GetWidth()),
            int(m_root.GetHeight())};
}
