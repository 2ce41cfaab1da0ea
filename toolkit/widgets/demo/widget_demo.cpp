// Draws a small tree of windows headless through the software Direct3D
// device and writes one PNG per frame: a sidebar slides in from the left, a
// card fades, a badge hides by visibility and a pop-up zooms in and back out.
//
//   widget_demo --frames 30 --out DIR

#include "toolkit/widgets/ATimeLine.h"
#include "toolkit/widgets/WindowSurface.h"
#include "toolkit/widgets/keyframe.h"
#include "toolkit/widgets/window.h"

#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT ScreenWidth = 360;
constexpr UINT ScreenHeight = 220;

// Solid colours (premultiplied, opaque) and the pictures cut from them; kept for the whole run.
class Palette {
public:
    explicit Palette(IDirect3DDevice9* device) : m_device(device) {}
    RenderEngine::picture* colour(DWORD argb)
    {
        auto tex = std::make_unique<RenderEngine::texture>(m_device, 0, "solid");
        tex->Create(4, 4, D3DPOOL_MANAGED, D3DFMT_A8R8G8B8);
        auto d3d = plat::ComPtr<IDirect3DTexture9>::adopt(tex->GetD3DTexture());
        D3DLOCKED_RECT locked{};
        d3d->LockRect(0, &locked, nullptr, 0);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) static_cast<DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x] = argb;
        d3d->UnlockRect(0);
        auto pic = std::make_unique<RenderEngine::d3dpic>(tex.get(), 0.0f, 0.0f, 4.0f, 4.0f);
        m_textures.push_back(std::move(tex));
        m_pictures.push_back(std::move(pic));
        return m_pictures.back().get();
    }

private:
    IDirect3DDevice9* m_device;
    std::vector<std::unique_ptr<RenderEngine::texture>> m_textures;
    std::vector<std::unique_ptr<RenderEngine::d3dpic>> m_pictures;
};

// A flat rectangle of one colour, placed by layout rules.
class Panel : public UI::widget {
public:
    explicit Panel(RenderEngine::picture* pic) : widget("panel"), m_pic(pic) {}
    void Draw() override
    {
        const UI::fpoint at = GetDrawOrigin();
        RenderEngine::DrawPicture(m_pic, at.x, at.y, GetWidth(), GetHeight(), GetAlpha() / 255.0f);
        widget::Draw();
    }

private:
    RenderEngine::picture* m_pic;
};

void add_panel(UI::widget& parent, RenderEngine::picture* pic, int x_rule, int y_rule, UI::frect place,
               int width_rule, int height_rule)
{
    auto* p = new Panel(pic);
    parent.AddChild(p);
    p->SetSizeRule(width_rule, height_rule, place.width, place.height);
    p->SetPosRule(x_rule, y_rule, place.x, place.y);
}

// A window filled with its colour, with a darker title strip and a light bar.
UI::window* add_window(UI::widget& parent, const char* name, UI::frect rect, Palette& palette, DWORD fill,
                       DWORD strip, bool buffered)
{
    auto* w = new UI::window(name);
    parent.AddChild(w);
    if (buffered) w->CreateBackBuffer(unsigned(rect.width), unsigned(rect.height));
    w->SetSize(rect.width, rect.height);
    w->SetPosRule(1, 1, rect.x, rect.y);
    w->SetClearColor(255, float(fill >> 16 & 0xff), float(fill >> 8 & 0xff), float(fill & 0xff));
    add_panel(*w, palette.colour(fill), 1, 1, {0, 0, 0, 0}, 2, 2);
    add_panel(*w, palette.colour(strip), 1, 1, {0, 0, 0, 14}, 2, 1);
    add_panel(*w, palette.colour(0xffe8e8e8u), 1, 2, {8, 10, 16, 6}, 3, 1);
    return w;
}

struct Scene {
    UI::window root{"root"};
    UI::window* sidebar;
    UI::window* card;
    UI::window* badge;
    UI::window* popup;
};

void build(Scene& s, Palette& palette)
{
    s.root.SetSize(float(ScreenWidth), float(ScreenHeight));
    add_panel(s.root, palette.colour(0xff20262eu), 1, 1, {0, 0, 0, 0}, 2, 2);
    s.sidebar = add_window(s.root, "sidebar", {0, 10, 120, 200}, palette, 0xff2f6db5u, 0xff1d4677u, true);
    add_window(*s.sidebar, "sidebar-item", {10, 30, 90, 40}, palette, 0xff4a8fd9u, 0xff35689eu, true);
    add_window(*s.sidebar, "sidebar-item2", {10, 80, 90, 40}, palette, 0xff4a8fd9u, 0xff35689eu, true);
    s.card = add_window(s.root, "card", {135, 10, 210, 90}, palette, 0xffd9822bu, 0xff9c5b1bu, true);
    s.badge = add_window(s.root, "badge", {135, 115, 90, 95}, palette, 0xff3f9e56u, 0xff2a6b3au, true);
    s.popup = add_window(s.root, "popup", {240, 115, 105, 95}, palette, 0xff8e55c2u, 0xff5f3885u, false);
    s.root.UpdateLayout();
}

void start_zoom(UI::window& w, float from, float to, bool keep_shown)
{
    w.Show(true);
    w.SetZoomBuffer(UI::CreateWindowSurface(unsigned(w.GetWidth()), unsigned(w.GetHeight())));
    w.GetZoom().SetParams({0, from, to, 4.0f, 0.01f});
    w.GetZoom().SetKeepShown(keep_shown);
    w.GetZoom().Start();
}

// A deeper fade than the entry animations give: 255 down to 60 over 800 ms.
void start_fade(UI::window& w)
{
    auto k = std::make_unique<UI::widget_keyframe>(&w);
    k->Init(UI::KeyAlpha, 0, 800, 255, 60);
    auto line = std::make_unique<UI::ATimeLine>();
    line->AddKeyframe(std::move(k));
    w.GetAnimationMgr().AddTimeLine(std::move(line));
}

void run_events(Scene& s, int frame)
{
    if (frame == 0) {
        s.sidebar->Show(false);
        s.sidebar->StartAnimation(UI::AnimFromLeft | UI::AnimPlaceHidden | UI::AnimFromCurrent);
        s.badge->StartAnimation(UI::AnimVisibility | UI::AnimHide);
        start_zoom(*s.popup, 0.5f, 1.0f, true);
    }
    if (frame == 4) start_fade(*s.card);
    if (frame == 15) start_zoom(*s.popup, 1.0f, 0.5f, false);
}

bool save_frame(IDirect3DDevice9* device, const std::filesystem::path& file)
{
    plat::ComPtr<IDirect3DSurface9> back;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, back.put());
    plat::ComPtr<IDirect3DTexture9> copy;
    if (FAILED(device->CreateTexture(ScreenWidth, ScreenHeight, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, copy.put(),
                                     nullptr)))
        return false;
    plat::ComPtr<IDirect3DSurface9> level;
    copy->GetSurfaceLevel(0, level.put());
    if (FAILED(D3DXLoadSurfaceFromSurface(level.get(), nullptr, nullptr, back.get(), nullptr, nullptr,
                                          D3DX_FILTER_NONE, 0)))
        return false;
    const std::u16string path = plat::utf8_to_utf16(file.string());
    return SUCCEEDED(D3DXSaveTextureToFileW(path.c_str(), D3DXIFF_PNG, copy.get(), nullptr));
}

plat::ComPtr<IDirect3DDevice9> make_device(plat::ComPtr<IDirect3D9>& d3d)
{
    d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = ScreenWidth;
    pp.BackBufferHeight = ScreenHeight;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.Windowed = TRUE;
    plat::ComPtr<IDirect3DDevice9> device;
    if (d3d) d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, device.put());
    return device;
}

int run(int frames, const std::filesystem::path& out)
{
    plat::ComPtr<IDirect3D9> d3d;
    plat::ComPtr<IDirect3DDevice9> device = make_device(d3d);
    plat::ComPtr<ID3DXSprite> sprite;
    if (!device || FAILED(D3DXCreateSprite(device.get(), sprite.put()))) {
        std::fprintf(stderr, "widget_demo: no software device\n");
        return 1;
    }
    auto* renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
    renderer->SetDevice(device.get());
    renderer->SetSprite(sprite.get());
    RenderEngine::InitRenderTargets();
    int rc = 0;
    {
        Palette palette(device.get());
        Scene scene;
        build(scene, palette);
        for (int frame = 0; frame < frames && rc == 0; ++frame) {
            run_events(scene, frame);
            renderer->BeginFrame();
            scene.root.Draw();
            renderer->EndFrame();
            char name[32];
            std::snprintf(name, sizeof name, "frame_%03d.png", frame);
            if (!save_frame(device.get(), out / name)) {
                std::fprintf(stderr, "widget_demo: cannot write %s\n", (out / name).c_str());
                rc = 1;
            }
            scene.root.TickAnimations();
        }
    }
    RenderEngine::CreateRender(nullptr, 1);   // the renderer goes before its device
    if (rc == 0) std::printf("widget_demo: %d frames in %s\n", frames, out.c_str());
    return rc;
}

}

int main(int argc, char** argv)
{
    int frames = 30;
    std::filesystem::path out;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--frames") == 0) frames = std::atoi(argv[i + 1]);
        else if (std::strcmp(argv[i], "--out") == 0) out = argv[i + 1];
    }
    if (out.empty() || frames <= 0) {
        std::fprintf(stderr, "usage: widget_demo --frames N --out DIR\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "widget_demo: cannot make %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    return run(frames, out);
}
