#include "toolkit/controls/demo/SkinScreen.h"

#include "toolkit/controls/SkinDraw.h"
#include "toolkit/controls/wtreenode.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"
#include "toolkit/resmgr/d3dresMgr.h"

#include "platform/base/Utf.h"
#include "platform/d3d9/D3DX.h"

#include <cstdio>
#include <cstring>
#include <set>

namespace UI {

namespace {

std::set<std::string>& asked()
{
    static std::set<std::string> names;
    return names;
}

}

void ask_picture(const std::string& name) { asked().insert(name); }

void ask_strip(const std::string& base)
{
    for (const char* state : {"_normal", "_highlight", "_pressed", "_disabled"})
        asked().insert(base + state);
}

int count_missing_pictures(d3dresMgr& manager, const char* program)
{
    int missing = 0;
    for (const auto& name : asked())
        if (!IsUsablePicture(manager.GetPicture(name))) {
            std::fprintf(stderr, "%s: picture \"%s\" is missing or empty\n", program, name.c_str());
            ++missing;
        }
    return missing;
}

wtext* skin_label(widget& parent, const std::u16string& caption, float x, float y, float w, float h,
                  fcolor colour, const char* font, int format)
{
    auto* made = new wtext("label");
    made->SetPos(x, y);
    made->SetSize(w, h);
    made->SetFont(font);
    made->SetColor(colour);
    made->SetTextFormat(format);
    made->SetMouseTransparent(true);
    parent.AddChild(made);
    made->SetText(caption.c_str());
    return made;
}

wtreenode* tree_row(wtreenode& parent, const char* icon, const std::u16string& caption, float indent, float width)
{
    ask_picture(icon);
    auto* node = new wtreenode(plat::utf16_to_utf8(caption));
    node->SetSize(width - indent, 24);
    node->AddImage("icon", icon, 16 + indent, 4, 0, 0);
    skin_label(*node, caption, 38 + indent, 0, 150, 24, SkinLight);
    parent.AddNode(node);
    return node;
}

wimage* SkinScreen::image(const std::string& picture, float x, float y, float w, float h, Borders b)
{
    ask_picture(picture);
    auto* made = new wimage("image-" + std::to_string(++m_count));
    made->SetPicture(picture, b);
    made->SetPos(x, y);
    if (w > 0)
        made->SetSize(w, h);
    m_root.AddChild(made);
    return made;
}

wbtn* SkinScreen::button(const std::string& skin, float x, float y, float w, float h)
{
    ask_strip(skin);
    wbtn* made = m_root.AddButton("button-" + std::to_string(++m_count), skin, x, y, w, h);
    if (w > 0)
        made->SetBorders(5, 5, 5, 5);
    return made;
}

wbtn* SkinScreen::captioned(const std::u16string& caption, float x, float y, float w, fcolor colour, int format)
{
    wbtn* made = button("functionbtn", x, y, w, 19);
    made->SetFont("font_a12b");
    made->SetTextColor(colour, colour);
    made->SetTextFormat(format);
    made->SetText(caption.c_str());
    return made;
}

wtext* SkinScreen::text(const std::u16string& caption, float x, float y, float w, float h, fcolor colour,
                        const char* font, int format)
{
    return skin_label(m_root, caption, x, y, w, h, colour, font, format);
}

SkinRenderer::SkinRenderer()
{
    m_manager.Init(nullptr);
    m_renderer = static_cast<RenderEngine::D3D9Render*>(RenderEngine::CreateRender(nullptr, 2));
    m_device = plat::ComPtr<IDirect3DDevice9>::adopt(m_manager.GetDevice());
    m_sprite = plat::ComPtr<ID3DXSprite>::adopt(m_manager.GetSprite());
    m_renderer->SetDevice(m_device.get());
    m_renderer->SetSprite(m_sprite.get());
    RenderEngine::InitRenderTargets();
    m_manager.LoadSkin(u"");
}

SkinRenderer::~SkinRenderer()
{
    m_renderer->SetSprite(nullptr);
    m_renderer->SetDevice(nullptr);
}

bool save_png(RenderEngine::backbuffer* canvas, const char* path)
{
    auto* surface = dynamic_cast<RenderEngine::d3dbackbuffer*>(canvas);
    if (!surface || !surface->GetTexture())
        return false;
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(surface->GetTexture()->GetD3DTexture());
    const std::u16string wide = plat::utf8_to_utf16(path);
    return texture && SUCCEEDED(D3DXSaveTextureToFileW(wide.c_str(), D3DXIFF_PNG, texture.get(), nullptr));
}

std::uint32_t read_pixel(RenderEngine::backbuffer* canvas, int x, int y)
{
    auto* surface = dynamic_cast<RenderEngine::d3dbackbuffer*>(canvas);
    if (!surface || !surface->GetTexture())
        return 0;
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(surface->GetTexture()->GetD3DTexture());
    D3DLOCKED_RECT locked{};
    if (!texture || FAILED(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY)))
        return 0;
    std::uint32_t value = 0;
    std::memcpy(&value, static_cast<const char*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
    texture->UnlockRect(0);
    return value;
}

}
