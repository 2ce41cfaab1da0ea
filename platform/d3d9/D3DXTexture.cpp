// D3DX textures: creation, picture files in and out, surface copies.

#include "platform/d3d9/D3DX.h"

#include "ImageFile.h"
#include "SoftwareResources.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <cstring>

namespace {

std::string path_of(LPCWSTR path) { return plat::utf16_to_utf8(std::u16string_view(path, plat::wide_length(path))); }

D3DXIMAGE_INFO info_of(const plat::DecodedImage& image)
{
    return D3DXIMAGE_INFO{UINT(image.width), UINT(image.height), 1, 1, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE,
                          image.kind == plat::ImageFileKind::Png ? D3DXIFF_PNG : D3DXIFF_JPG};
}

// Copies (scaling when sizes differ) with the filter D3DX names: none and point pick, others blend.
void copy_scaled(const plat::raster::Image& src, RECT from, const plat::raster::Image& dst, RECT to, DWORD filter)
{
    float w = float(src.width), h = float(src.height);
    plat::raster::Quad quad{{float(to.left), float(to.right), float(to.left)},
                            {float(to.top), float(to.top), float(to.bottom)},
                            {from.left / w, from.right / w, from.left / w},
                            {from.top / h, from.top / h, from.bottom / h},
                            0xffffffffu};
    plat::raster::StageState copy;
    copy.color_op = D3DTOP_SELECTARG1;
    copy.linear = (filter & 0xff) > D3DX_FILTER_POINT;
    plat::raster::Scratch rows;   // a surface copy is no per-frame draw: its rows need not outlive it
    plat::raster::fill_quad(dst, plat::raster::Box{to.left, to.top, to.right, to.bottom}, quad, &src, copy,
                            plat::raster::BlendState{}, rows);
}

bool inside(const RECT& r, UINT width, UINT height)
{
    return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= LONG(width) &&
           r.bottom <= LONG(height);
}

}

HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mip_levels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture)
{
    if (device == nullptr || texture == nullptr) return D3DERR_INVALIDCALL;
    // Every caller asks for one level; D3DX_DEFAULT and 0 (a full chain) get one as well.
    (void)mip_levels;
    if (format == D3DFMT_UNKNOWN) format = D3DFMT_A8R8G8B8;
    return device->CreateTexture(width, height, 1, usage, format, pool, texture, nullptr);
}

HRESULT D3DXGetImageInfoFromFileW(LPCWSTR path, D3DXIMAGE_INFO* info)
{
    if (path == nullptr || info == nullptr) return D3DERR_INVALIDCALL;
    plat::DecodedImage image;
    std::string error;
    if (!plat::read_image_header(path_of(path), image, error)) {
        plat::debug_log("d3dx: cannot read picture " + path_of(path) + ": " + error);
        return D3DXERR_INVALIDDATA;
    }
    *info = info_of(image);
    return D3D_OK;
}

HRESULT D3DXCreateTextureFromFileExW(IDirect3DDevice9* device, LPCWSTR path, UINT width, UINT height, UINT,
                                     DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD,
                                     D3DCOLOR color_key, D3DXIMAGE_INFO* info, PALETTEENTRY*,
                                     IDirect3DTexture9** texture)
{
    if (device == nullptr || path == nullptr || texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (color_key != 0) {
        plat::debug_log("d3dx: colour keys are not supported");
        return D3DERR_NOTAVAILABLE;
    }
    plat::DecodedImage image;
    std::string error;
    if (!plat::decode_image_file(path_of(path), image, error)) {
        plat::debug_log("d3dx: cannot read picture " + path_of(path) + ": " + error);
        return D3DXERR_INVALIDDATA;
    }
    if (width == 0 || width == D3DX_DEFAULT) width = UINT(image.width);
    if (height == 0 || height == D3DX_DEFAULT) height = UINT(image.height);
    if (format == D3DFMT_UNKNOWN || format == D3DFORMAT(D3DX_DEFAULT)) format = D3DFMT_A8R8G8B8;
    plat::ComPtr<IDirect3DTexture9> made;
    HRESULT hr = device->CreateTexture(width, height, 1, usage, format, pool, made.put(), nullptr);
    if (FAILED(hr)) return hr;
    plat::raster::Image src{image.pixels.data(), image.width, image.height, image.width, false};
    plat::raster::Image dst = plat::software_texture(made.get())->level().image();
    if (UINT(image.width) == width && UINT(image.height) == height)
        std::memcpy(dst.pixels, src.pixels, image.pixels.size() * 4);
    else
        copy_scaled(src, RECT{0, 0, image.width, image.height}, dst, RECT{0, 0, LONG(width), LONG(height)}, filter);
    if (dst.opaque)
        for (int i = 0; i < dst.width * dst.height; ++i) dst.pixels[i] |= 0xff000000u;
    if (info) *info = info_of(image);
    *texture = made.detach();
    return D3D_OK;
}

HRESULT D3DXSaveTextureToFileW(LPCWSTR path, D3DXIMAGE_FILEFORMAT format, IDirect3DBaseTexture9* texture,
                               const PALETTEENTRY*)
{
    plat::SoftwareTexture* ours = plat::software_texture(texture);
    if (path == nullptr || ours == nullptr) return D3DERR_INVALIDCALL;
    if (format != D3DXIFF_PNG && format != D3DXIFF_JPG) return D3DERR_NOTAVAILABLE;
    plat::raster::Image pixels = ours->level().image();
    std::vector<std::uint32_t> copy(pixels.pixels, pixels.pixels + std::size_t(pixels.pitch) * pixels.height);
    if (pixels.opaque)
        for (auto& p : copy) p |= 0xff000000u;
    std::string error;
    auto kind = format == D3DXIFF_PNG ? plat::ImageFileKind::Png : plat::ImageFileKind::Jpeg;
    if (!plat::encode_image_file(path_of(path), kind, copy.data(), pixels.width, pixels.height, pixels.pitch, error)) {
        plat::debug_log("d3dx: cannot save picture " + path_of(path) + ": " + error);
        return E_FAIL;
    }
    return D3D_OK;
}

HRESULT D3DXLoadSurfaceFromSurface(IDirect3DSurface9* dst, const PALETTEENTRY*, const RECT* dst_rect,
                                   IDirect3DSurface9* src, const PALETTEENTRY*, const RECT* src_rect, DWORD filter,
                                   D3DCOLOR color_key)
{
    plat::SoftwareSurface* to = plat::software_surface(dst);
    plat::SoftwareSurface* from = plat::software_surface(src);
    if (to == nullptr || from == nullptr || to == from || color_key != 0) return D3DERR_INVALIDCALL;
    RECT s = src_rect ? *src_rect : RECT{0, 0, LONG(from->width()), LONG(from->height())};
    RECT d = dst_rect ? *dst_rect : RECT{0, 0, LONG(to->width()), LONG(to->height())};
    if (!inside(s, from->width(), from->height()) || !inside(d, to->width(), to->height())) return D3DERR_INVALIDCALL;
    copy_scaled(from->image(), s, to->image(), d, filter);
    return D3D_OK;
}
