// Composes a skin-like 1024 x 576 frame (background, nine-pieces, icons, lines
// of text and one 640 x 360 video picture, about 200 draws) with the software
// Direct3D renderer, and the same scene with cairo, and prints frames per
// second for both and their ratio (medians of alternating rounds): once
// presented into a window as the program presents each frame (the device's
// back buffer the screen's size, the window's client the frame's), once with
// the frame left in a back buffer of its own size. Build it optimised to measure:
//   cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release
//   cmake --build build/release --target render_bench && build/release/bin/render_bench

#include "toolkit/render/bench/Rounds.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"

#include "platform/d3d9/D3DX.h"
#include "platform/window/PresentWindow.h"

#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int frame_width = 1024, frame_height = 576;
constexpr int screen_width = 1280, screen_height = 720;
constexpr int panels = 12, icons = 60, lines = 36;

std::vector<DWORD> pattern(int w, int h, DWORD seed, bool rounded)
{
    std::vector<DWORD> px(std::size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            DWORD a = 255;
            if (rounded && (x == 0 || y == 0 || x == w - 1 || y == h - 1)) a = 96;   // soft edge
            DWORD r = (seed + x * 3) & 0xff, g = (seed * 7 + y * 5) & 0xff, b = (seed * 13) & 0xff;
            px[std::size_t(y) * w + x] = a << 24 | (r * a / 255) << 16 | (g * a / 255) << 8 | (b * a / 255);
        }
    return px;
}

std::unique_ptr<RenderEngine::texture> texture_of(IDirect3DDevice9* device, int w, int h, const std::vector<DWORD>& px)
{
    auto t = std::make_unique<RenderEngine::texture>(device, 0, "bench");
    t->Create(unsigned(w), unsigned(h), D3DPOOL_MANAGED, D3DFMT_A8R8G8B8);
    auto d3d = plat::ComPtr<IDirect3DTexture9>::adopt(t->GetD3DTexture());
    D3DLOCKED_RECT locked{};
    d3d->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < h; ++y) std::memcpy(static_cast<char*>(locked.pBits) + y * locked.Pitch, &px[std::size_t(y) * w], w * 4);
    d3d->UnlockRect(0);
    return t;
}

cairo_surface_t* surface_of(int w, int h, std::vector<DWORD>& px)
{
    return cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(px.data()), CAIRO_FORMAT_ARGB32, w, h,
                                               w * 4);
}

struct Layout {
    float panel_x(int i) const { return float(20 + (i % 4) * 250); }
    float panel_y(int i) const { return float(60 + (i / 4) * 170); }
    float icon_x(int i) const { return float(30 + (i % 15) * 64); }
    float icon_y(int i) const { return float(80 + (i / 15) * 120); }
    float line_y(int i) const { return float(70 + i * 14); }
};

std::u16string line_text(int i) { return u"Channel item " + std::u16string(1, char16_t(u'A' + i % 26)) + u" - a video of the day"; }

}

int main()
{
    // The program's device presents every frame into its window: the present
    // is part of its frame. Once the window is gone, frames go nowhere.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    auto window = plat::PresentWindow::create("render_bench", frame_width, frame_height);
    if (!window) {
        std::puts("no window to present into");
        return 1;
    }
    auto d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(D3D_SDK_VERSION));
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = screen_width;
    pp.BackBufferHeight = screen_height;
    pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window->hwnd();
    pp.Windowed = TRUE;
    plat::ComPtr<IDirect3DDevice9> device;
    plat::ComPtr<ID3DXSprite> sprite;
    if (FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_MULTITHREADED, &pp, device.put())) ||
        FAILED(D3DXCreateSprite(device.get(), sprite.put()))) {
        std::puts("no device");
        return 1;
    }
    auto* renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
    renderer->SetDevice(device.get());
    renderer->SetSprite(sprite.get());
    RenderEngine::InitRenderTargets();

    auto bg_px = pattern(frame_width, frame_height, 11, false), panel_px = pattern(64, 64, 40, true);
    auto icon_px = pattern(24, 24, 90, true), video_px = pattern(640, 360, 170, false);
    auto bg_t = texture_of(device.get(), frame_width, frame_height, bg_px), panel_t = texture_of(device.get(), 64, 64, panel_px);
    auto icon_t = texture_of(device.get(), 24, 24, icon_px), video_t = texture_of(device.get(), 640, 360, video_px);
    RenderEngine::d3dpic bg(bg_t.get(), 0, 0, frame_width, frame_height), panel(panel_t.get(), 0, 0, 64, 64);
    RenderEngine::d3dpic icon(icon_t.get(), 0, 0, 24, 24), video(video_t.get(), 0, 0, 640, 360);
    video.m_filter = D3DTEXF_LINEAR;
    D3DXFONT_DESCW desc{};
    desc.Height = -12;
    desc.Weight = 400;
    std::memcpy(desc.FaceName, u"Arial", 10);
    plat::ComPtr<ID3DXFont> d3dx_font;
    D3DXCreateFontIndirectW(device.get(), &desc, d3dx_font.put());
    RenderEngine::d3dfont font(d3dx_font.get());
    RenderEngine::fontstyle style{DT_LEFT | DT_VCENTER, 0xffe0e0e0u, "font_a12", &font, 1, 1};
    Layout at;
    std::vector<std::u16string> texts;
    for (int i = 0; i < lines; ++i) texts.push_back(line_text(i));

    auto d3d_frame = [&] {
        renderer->BeginFrame();
        RenderEngine::DrawPicture(&bg, 0, 0, 0, 0, 1.0f);
        for (int i = 0; i < panels; ++i)
            RenderEngine::DrawPictureNinePiece(&panel, 0.9f, at.panel_x(i), at.panel_y(i), 230, 150, 8, 8, 8, 8);
        RenderEngine::DrawPicture(&video, 192, 108, 640, 360, 1.0f);
        for (int i = 0; i < icons; ++i) RenderEngine::DrawPicture(&icon, at.icon_x(i), at.icon_y(i), 0, 0, 1.0f);
        for (int i = 0; i < lines; ++i) RenderEngine::DrawText(texts[i].c_str(), 40, at.line_y(i), 400, 14, &style);
        renderer->EndFrame();
    };

    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, frame_width, frame_height);
    cairo_surface_t *c_bg = surface_of(frame_width, frame_height, bg_px), *c_panel = surface_of(64, 64, panel_px);
    cairo_surface_t *c_icon = surface_of(24, 24, icon_px), *c_video = surface_of(640, 360, video_px);
    std::vector<std::string> utf8_texts;
    for (int i = 0; i < lines; ++i) utf8_texts.push_back(std::string(texts[i].begin(), texts[i].end()));
    auto blit = [](cairo_t* cr, cairo_surface_t* s, double sx, double sy, double sw, double sh, double x, double y,
                   double w, double h, double alpha, cairo_filter_t filter) {
        cairo_save(cr);
        cairo_rectangle(cr, x, y, w, h);
        cairo_clip(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, w / sw, h / sh);
        cairo_set_source_surface(cr, s, -sx, -sy);
        cairo_pattern_set_filter(cairo_get_source(cr), filter);
        cairo_paint_with_alpha(cr, alpha);
        cairo_restore(cr);
    };
    auto cairo_frame = [&] {
        cairo_t* cr = cairo_create(target);
        cairo_set_source_rgb(cr, 0x12 / 255.0, 0x12 / 255.0, 0x12 / 255.0);
        cairo_paint(cr);
        blit(cr, c_bg, 0, 0, frame_width, frame_height, 0, 0, frame_width, frame_height, 1.0, CAIRO_FILTER_NEAREST);
        for (int i = 0; i < panels; ++i) {
            const double cut[4] = {0, 8, 56, 64}, x0 = at.panel_x(i), y0 = at.panel_y(i);
            const double dst[4] = {x0, x0 + 8, x0 + 222, x0 + 230}, dsty[4] = {y0, y0 + 8, y0 + 142, y0 + 150};
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c)
                    blit(cr, c_panel, cut[c], cut[r], cut[c + 1] - cut[c], cut[r + 1] - cut[r], dst[c], dsty[r],
                         dst[c + 1] - dst[c], dsty[r + 1] - dsty[r], 0.9, CAIRO_FILTER_NEAREST);
        }
        blit(cr, c_video, 0, 0, 640, 360, 192, 108, 640, 360, 1.0, CAIRO_FILTER_BILINEAR);
        for (int i = 0; i < icons; ++i) blit(cr, c_icon, 0, 0, 24, 24, at.icon_x(i), at.icon_y(i), 24, 24, 1.0, CAIRO_FILTER_NEAREST);
        cairo_select_font_face(cr, "Liberation Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr, 12);
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        for (int i = 0; i < lines; ++i) {
            cairo_move_to(cr, 40, at.line_y(i) + 11);
            cairo_show_text(cr, utf8_texts[i].c_str());
        }
        cairo_destroy(cr);
        cairo_surface_flush(target);
    };

    std::printf("draws per frame: %d\n", 1 + panels * 9 + 1 + icons + lines);
    const auto report = [&](const char* how) {
        const bench::Rates rates = bench::interleaved_rates([&](int) { d3d_frame(); }, [&](int) { cairo_frame(); });
        std::printf("%s\n", how);
        std::printf("  software Direct3D: %.1f frames/s\n", rates.ours);
        std::printf("  cairo:             %.1f frames/s\n", rates.rival);
        std::printf("  ratio (ours / cairo): %.2f\n", rates.ours / rates.rival);
    };
    renderer->SetMainWindow(window->hwnd());
    report("frame presented into a window:");
    renderer->SetMainWindow(nullptr);
    window.reset();
    pp.BackBufferWidth = frame_width;
    pp.BackBufferHeight = frame_height;
    pp.hDeviceWindow = nullptr;
    if (FAILED(device->Reset(&pp))) {
        std::puts("the device did not reset");
        return 1;
    }
    report("frame left in the back buffer:");

    for (cairo_surface_t* s : {target, c_bg, c_panel, c_icon, c_video}) cairo_surface_destroy(s);
    renderer->SetSprite(nullptr);
    renderer->SetDevice(nullptr);
    RenderEngine::CreateRender(nullptr, 1);
    return 0;
}
