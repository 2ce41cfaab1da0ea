#include "texture.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/d3d9/D3DX.h"

#include <algorithm>
#include <cmath>

namespace RenderEngine {

texture::texture(IDirect3DDevice9* device, int id, std::string name) : res(id, std::move(name)), m_device(device) {}

texture::~texture() = default;

void texture::ReleaseDeviceObject() { m_texture.reset(); }

void texture::RestoreDeviceObject()
{
    if (m_texture) return;
    if (!m_path.empty()) {
        std::u16string path = m_path;
        Load(path, 255.0f);
    } else if (m_width > 0 && m_height > 0) {
        D3DXCreateTexture(m_device.get(), unsigned(m_width), unsigned(m_height), 1, D3DUSAGE_RENDERTARGET,
                          D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, m_texture.put());
    }
}

bool texture::Load(std::u16string_view path, float opacity)
{
    m_texture.reset();
    std::u16string file(path);
    D3DXIMAGE_INFO info{};
    if (FAILED(D3DXGetImageInfoFromFileW(file.c_str(), &info)) ||
        FAILED(D3DXCreateTextureFromFileExW(m_device.get(), file.c_str(), info.Width, info.Height, 1, 0,
                                            D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_TRIANGLE, D3DX_FILTER_BOX, 0,
                                            nullptr, nullptr, m_texture.put()))) {
        plat::debug_log("texture: cannot load " + plat::utf16_to_utf8(file) + " for \"" + m_name + "\"");
        m_width = m_height = 0;
        return false;
    }
    m_path = file;
    m_width = float(info.Width);
    m_height = float(info.Height);
    if (opacity != 255.0f) {
        // Texels are premultiplied already, so scaling colour by the opacity is
        // the whole of "premultiply, then fade".
        float f = std::clamp(opacity / 255.0f, 0.0f, 1.0f);
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(m_texture->LockRect(0, &locked, nullptr, 0))) {
            for (UINT y = 0; y < info.Height; ++y) {
                auto* row = reinterpret_cast<DWORD*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
                for (UINT x = 0; x < info.Width; ++x) {
                    DWORD p = row[x];
                    auto scale = [f](DWORD c) { return DWORD(f * float(c)); };
                    row[x] = (p & 0xff000000u) | scale(p >> 16 & 0xff) << 16 | scale(p >> 8 & 0xff) << 8 | scale(p & 0xff);
                }
            }
            m_texture->UnlockRect(0);
        }
    }
    return true;
}

void texture::Attach(IDirect3DTexture9* made, float width, float height)
{
    m_texture = plat::ComPtr<IDirect3DTexture9>(made);
    m_path.clear();
    m_width = made ? width : 0;
    m_height = made ? height : 0;
}

bool texture::Create(unsigned width, unsigned height, DWORD pool, DWORD format)
{
    m_texture.reset();
    DWORD usage = (pool == D3DPOOL_MANAGED || pool == D3DPOOL_SYSTEMMEM) ? 0 : D3DUSAGE_RENDERTARGET;
    if (FAILED(D3DXCreateTexture(m_device.get(), width, height, 1, usage, D3DFORMAT(format), D3DPOOL(pool),
                                 m_texture.put()))) {
        plat::debug_log("texture: cannot create " + std::to_string(width) + "x" + std::to_string(height) + " for \"" +
                        m_name + "\"");
        return false;
    }
    m_width = float(width);
    m_height = float(height);
    return true;
}

IDirect3DTexture9* texture::GetD3DTexture() const
{
    if (m_texture) m_texture->AddRef();
    return m_texture.get();
}

}
