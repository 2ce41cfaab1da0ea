#include "toolkit/resmgr/resMgr.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/d3d9/D3DX.h"
#include "toolkit/render/backbuffer.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/texture.h"

namespace UI {

resMgr::resMgr() = default;
resMgr::~resMgr() = default;

bool resMgr::Init(HWND) { return true; }
bool resMgr::ResetDevice() { return true; }
bool resMgr::LoadPicture(const std::u16string&, const std::string&, int) { return true; }
bool resMgr::LoadPictureByPath(const std::u16string&, std::string&) { return true; }
RenderEngine::picture* resMgr::GetPictureByPath(const std::u16string&, std::string&) { return nullptr; }
RenderEngine::fontstyle* resMgr::CreateFontStyle(DWORD, DWORD, const std::string&, float, float) { return nullptr; }
RenderEngine::backbuffer* resMgr::CreateBackBuffer(unsigned, unsigned, bool) { return nullptr; }

RenderEngine::picture* resMgr::GetPicture(const std::string& name)
{
    RenderEngine::picture* found = nullptr;
    bool known = false;
    {
        std::scoped_lock hold(m_lock);
        const auto [at, added] = m_pictures.try_emplace(name);
        found = at->second.get();
        known = !added;
    }
    // Once a name: a widget that names a picture the skin lacks draws nothing.
    if (!known) plat::debug_log("skin: no picture \"" + name + "\"");
    return found;
}

RenderEngine::texture* resMgr::GetTexture(const std::string& name)
{
    std::scoped_lock hold(m_lock);
    if (const auto surface = m_back_buffers.find(name); surface != m_back_buffers.end())
        return surface->second.lock().get();   // alive while its back buffer is
    return m_textures[name].get();
}

RenderEngine::d3dfont* resMgr::GetFont(const std::string& name)
{
    std::scoped_lock hold(m_lock);
    return m_fonts[name].get();
}

std::u16string resMgr::GetText(int id) const
{
    std::scoped_lock hold(m_lock);
    const auto found = m_texts.find(id);
    return found == m_texts.end() ? std::u16string() : found->second;
}

std::string WideToAnsi(std::u16string_view text) { return plat::utf16_to_utf8(text); }

std::u16string AnsiToWide(std::string_view text) { return plat::utf8_to_utf16(text); }

bool IsUsablePicture(const RenderEngine::picture* picture)
{
    return picture && picture->m_width > 0 && picture->m_height > 0 && picture->m_texture &&
           picture->m_texture->GetWidth() > 0 && picture->m_texture->GetHeight() > 0;
}

}
