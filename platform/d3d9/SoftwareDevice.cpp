// The software Direct3D object and device.

#include "platform/com/ComObject.h"
#include "SoftwareResources.h"
#include "platform/d3d9/TextureCaps.h"

#include "platform/base/DebugLog.h"
#include "platform/window/PresentWindow.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace plat {

namespace {

constexpr UINT max_texture_size = 8192;
constexpr DWORD stage_count = 8;

enum class DeviceState { Ready, Lost, ResetPending };

// State words are set and read without the device lock: each is one word, a draw
// reads them once, and callers order whole sets of states against their draws
// (the renderer sets and draws under one lock per frame), as with a real device.
template <std::size_t N>
class StateWords {
public:
    static constexpr std::size_t size() { return N; }
    DWORD get(std::size_t index) const { return m_words[index].load(std::memory_order_relaxed); }
    void set(std::size_t index, DWORD value) { m_words[index].store(value, std::memory_order_relaxed); }
    void clear()
    {
        for (auto& word : m_words) word.store(0, std::memory_order_relaxed);
    }

private:
    std::array<std::atomic<DWORD>, N> m_words{};
};

bool valid_format(D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; }

bool power_of_two(UINT n) { return n != 0 && (n & (n - 1)) == 0; }

D3DCAPS9 software_caps(DWORD texture_caps = 0)
{
    D3DCAPS9 caps{};
    caps.DeviceType = D3DDEVTYPE_HAL;
    caps.TextureCaps = texture_caps;   // 0: any size, no power-of-two rule
    // Point and linear minification and magnification; no Gaussian quad.
    caps.TextureFilterCaps = 0x100 | 0x200 | 0x1000000 | 0x2000000;
    caps.MaxTextureWidth = max_texture_size;
    caps.MaxTextureHeight = max_texture_size;
    caps.MaxAnisotropy = 1;
    return caps;
}

class SoftwareDirect3D final : public plat::ComObject<IDirect3D9> {
public:
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
        *mode = D3DDISPLAYMODE{0, 0, 60, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE, D3DCAPS9* caps) override
    {
        if (adapter != 0 || caps == nullptr) return D3DERR_INVALIDCALL;
        *caps = software_caps();
        return D3D_OK;
    }
    HMONITOR GetAdapterMonitor(UINT adapter) override
    {
        // One screen; its handle only has to be stable and non-null.
        static int monitor;
        return adapter == 0 ? reinterpret_cast<HMONITOR>(&monitor) : nullptr;
    }
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device) override;
};

class SoftwareDevice final : public plat::ComObject<IDirect3DDevice9> {
public:
    SoftwareDevice(IDirect3D9* d3d, const D3DPRESENT_PARAMETERS& params);
    ~SoftwareDevice();

    HRESULT TestCooperativeLevel() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swap_chain, D3DDISPLAYMODE* mode) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* params) override;
    HRESULT Present(const RECT* src, const RECT* dst, HWND override_window, const RGNDATA* dirty) override;
    HRESULT GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, void** shared) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, void** shared) override;
    HRESULT UpdateTexture(IDirect3DBaseTexture9* src, IDirect3DBaseTexture9* dst) override;
    HRESULT StretchRect(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst, const RECT* dst_rect,
                        D3DTEXTUREFILTERTYPE filter) override;
    HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertices, UINT stride) override;

    void inject(DeviceLoss loss);
    void set_texture_caps(DWORD caps) { m_texture_caps.store(caps); }
    void draw_coverage(const raster::Coverage* glyphs, std::size_t count, D3DCOLOR color);

private:
    void reset_states();
    void full_viewport();
    raster::Box viewport_box();
    bool read_quad(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride, raster::Quad& quad);
    raster::StageState stage_state(const raster::Quad& quad, const SoftwareTexture* texture);
    raster::BlendState blend_state();

    std::shared_ptr<DeviceCore> m_core;                         // its lock guards every field below but the states
    ComPtr<IDirect3D9> m_d3d;
    D3DPRESENT_PARAMETERS m_params;
    DeviceState m_state{DeviceState::Ready};
    ComPtr<SoftwareSurface> m_back_buffer;                      // the one swap chain's back buffer
    ComPtr<SoftwareSurface> m_render_target;
    D3DVIEWPORT9 m_viewport{};
    bool m_in_scene{false};
    std::array<ComPtr<IDirect3DBaseTexture9>, stage_count> m_textures;
    raster::Scratch m_scratch;                                  // rows of the draw in progress
    std::atomic<DWORD> m_fvf{0};
    std::atomic<DWORD> m_texture_caps{0};                       // set by tests
    StateWords<256> m_render_states;
    std::array<StateWords<16>, stage_count> m_sampler_states;
    std::array<StateWords<16>, stage_count> m_stage_states;
};

HRESULT SoftwareDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS* params,
                                       IDirect3DDevice9** device)
{
    if (adapter != 0 || params == nullptr || device == nullptr) return D3DERR_INVALIDCALL;
    if (params->BackBufferFormat != D3DFMT_UNKNOWN && !valid_format(params->BackBufferFormat)) {
        debug_log("d3d9: back buffer format not supported");
        return D3DERR_NOTAVAILABLE;
    }
    *device = new SoftwareDevice(this, *params);
    return D3D_OK;
}

// A zero back-buffer size takes the device window's client size, as windowed devices do.
void settle_back_buffer_size(D3DPRESENT_PARAMETERS& params)
{
    if (params.BackBufferWidth != 0 && params.BackBufferHeight != 0) return;
    auto client = present_client_rect(params.hDeviceWindow);
    params.BackBufferWidth = client ? UINT(client->right) : 1;
    params.BackBufferHeight = client ? UINT(client->bottom) : 1;
}

SoftwareDevice::SoftwareDevice(IDirect3D9* d3d, const D3DPRESENT_PARAMETERS& params)
    : m_core(std::make_shared<DeviceCore>()), m_d3d(d3d), m_params(params)
{
    settle_back_buffer_size(m_params);
    m_params.BackBufferFormat = D3DFMT_A8R8G8B8;
    m_core->device = this;
    // The back buffer belongs to the swap chain, not to the default pool that Reset checks.
    m_back_buffer = ComPtr<SoftwareSurface>::adopt(new SoftwareSurface(
        m_core, nullptr, m_params.BackBufferWidth, m_params.BackBufferHeight, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH,
        D3DUSAGE_RENDERTARGET));
    reset_states();
}

SoftwareDevice::~SoftwareDevice()
{
    std::scoped_lock hold(m_core->lock);
    m_core->device = nullptr;
}

void SoftwareDevice::reset_states()
{
    auto& r = m_render_states;
    r.clear();
    r.set(D3DRS_ZENABLE, m_params.EnableAutoDepthStencil ? TRUE : FALSE);
    r.set(D3DRS_ZWRITEENABLE, TRUE);
    r.set(D3DRS_SRCBLEND, D3DBLEND_ONE);
    r.set(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    r.set(D3DRS_CULLMODE, 3);
    r.set(D3DRS_ALPHAFUNC, D3DCMP_ALWAYS);
    r.set(D3DRS_LIGHTING, TRUE);
    r.set(D3DRS_MULTISAMPLEANTIALIAS, TRUE);
    r.set(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    r.set(D3DRS_SRCBLENDALPHA, D3DBLEND_ONE);
    r.set(D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO);
    r.set(D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD);
    for (DWORD stage = 0; stage < stage_count; ++stage) {
        auto& s = m_sampler_states[stage];
        s.clear();
        s.set(D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
        s.set(D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
        s.set(D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP);
        s.set(D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        s.set(D3DSAMP_MINFILTER, D3DTEXF_POINT);
        s.set(D3DSAMP_MAXANISOTROPY, 1);
        auto& t = m_stage_states[stage];
        t.clear();
        t.set(D3DTSS_COLOROP, stage == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE);
        t.set(D3DTSS_ALPHAOP, stage == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
        t.set(D3DTSS_COLORARG1, D3DTA_TEXTURE);
        t.set(D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        t.set(D3DTSS_COLORARG2, D3DTA_CURRENT);
        t.set(D3DTSS_ALPHAARG2, D3DTA_CURRENT);
        m_textures[stage].reset();
    }
    m_fvf.store(0, std::memory_order_relaxed);
    m_in_scene = false;
    m_render_target = m_back_buffer;
    full_viewport();
}

void SoftwareDevice::full_viewport()
{
    m_viewport = D3DVIEWPORT9{0, 0, m_render_target->width(), m_render_target->height(), 0.0f, 1.0f};
}

raster::Box SoftwareDevice::viewport_box()
{
    return raster::Box{int(m_viewport.X), int(m_viewport.Y), int(m_viewport.X + m_viewport.Width),
                       int(m_viewport.Y + m_viewport.Height)};
}

HRESULT SoftwareDevice::TestCooperativeLevel()
{
    std::scoped_lock hold(m_core->lock);
    switch (m_state) {
    case DeviceState::Lost: return D3DERR_DEVICELOST;
    case DeviceState::ResetPending: return D3DERR_DEVICENOTRESET;
    default: return D3D_OK;
    }
}

HRESULT SoftwareDevice::GetDirect3D(IDirect3D9** d3d)
{
    if (d3d == nullptr) return D3DERR_INVALIDCALL;
    *d3d = m_d3d.get();
    (*d3d)->AddRef();
    return D3D_OK;
}

HRESULT SoftwareDevice::GetDeviceCaps(D3DCAPS9* caps)
{
    if (caps == nullptr) return D3DERR_INVALIDCALL;
    *caps = software_caps(m_texture_caps.load());
    return D3D_OK;
}

HRESULT SoftwareDevice::GetDisplayMode(UINT swap_chain, D3DDISPLAYMODE* mode)
{
    if (swap_chain != 0 || mode == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    *mode = D3DDISPLAYMODE{m_params.BackBufferWidth, m_params.BackBufferHeight, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT SoftwareDevice::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (params == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    if (m_state == DeviceState::Lost) return D3DERR_DEVICELOST;
    // Bound textures and targets hold references: drop them before counting what is left.
    for (auto& texture : m_textures) texture.reset();
    m_render_target = m_back_buffer;
    if (m_core->default_pool > 0) {
        debug_log("d3d9: Reset refused: " + std::to_string(m_core->default_pool.load()) +
                  " default-pool resources are still alive");
        m_state = DeviceState::ResetPending;
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS next = *params;
    settle_back_buffer_size(next);
    next.BackBufferFormat = D3DFMT_A8R8G8B8;
    *params = next;
    m_params = next;
    m_back_buffer->resize(m_params.BackBufferWidth, m_params.BackBufferHeight);
    reset_states();
    m_state = DeviceState::Ready;
    return D3D_OK;
}

HRESULT SoftwareDevice::Present(const RECT* src, const RECT* dst, HWND override_window, const RGNDATA*)
{
    std::scoped_lock hold(m_core->lock);
    if (m_state != DeviceState::Ready) return D3DERR_DEVICELOST;
    HWND window = override_window ? override_window : m_params.hDeviceWindow;
    RECT whole{0, 0, LONG(m_back_buffer->width()), LONG(m_back_buffer->height())};
    RECT from = src ? *src : whole;
    RECT to = dst ? *dst : present_client_rect(window).value_or(whole);
    // A discarded back buffer may be left holding anything: a frame whose
    // top-left corner is the whole client area changes places with the
    // window's instead of being copied.
    const auto same = [](const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    if (m_params.SwapEffect == D3DSWAPEFFECT_DISCARD && from.left == 0 && from.top == 0 && same(from, to) &&
        m_back_buffer->hand_to_window(window, from.right, from.bottom))
        return D3D_OK;
    raster::Image frame = m_back_buffer->image();
    present_frame(window, FrameView{frame.pixels, frame.width, frame.height, frame.pitch}, from, to);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetBackBuffer(UINT swap_chain, UINT index, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface)
{
    if (swap_chain != 0 || index != 0 || surface == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    *surface = m_back_buffer.get();
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT SoftwareDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DTexture9** texture, void**)
{
    if (texture == nullptr) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    if (width == 0 || height == 0 || width > max_texture_size || height > max_texture_size) return D3DERR_INVALIDCALL;
    if (!valid_format(format)) {
        debug_log("d3d9: texture format not supported: " + std::to_string(format));
        return D3DERR_NOTAVAILABLE;
    }
    if (levels > 1) {
        debug_log("d3d9: textures have one level here");
        return D3DERR_NOTAVAILABLE;
    }
    const DWORD caps = m_texture_caps.load();
    const bool any_size = !(caps & D3DPTEXTURECAPS_POW2) || (caps & D3DPTEXTURECAPS_NONPOW2CONDITIONAL);
    if (!any_size && (!power_of_two(width) || !power_of_two(height))) return D3DERR_INVALIDCALL;
    if ((usage & D3DUSAGE_RENDERTARGET) && pool != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    *texture = new SoftwareTexture(m_core, width, height, format, pool, usage);
    return D3D_OK;
}

HRESULT SoftwareDevice::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                    IDirect3DSurface9** surface, void**)
{
    if (surface == nullptr) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (width == 0 || height == 0 || width > max_texture_size || height > max_texture_size) return D3DERR_INVALIDCALL;
    if (!valid_format(format)) return D3DERR_NOTAVAILABLE;
    *surface = new SoftwareSurface(m_core, nullptr, width, height, format, pool, 0);
    return D3D_OK;
}

HRESULT SoftwareDevice::UpdateTexture(IDirect3DBaseTexture9* src, IDirect3DBaseTexture9* dst)
{
    SoftwareTexture* from = software_texture(src);
    SoftwareTexture* to = software_texture(dst);
    if (from == nullptr || to == nullptr) return D3DERR_INVALIDCALL;
    if (from->level().pool() != D3DPOOL_SYSTEMMEM || to->level().pool() != D3DPOOL_DEFAULT) return D3DERR_INVALIDCALL;
    if (from->level().width() != to->level().width() || from->level().height() != to->level().height())
        return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    raster::Image a = from->level().image(), b = to->level().image();
    std::memcpy(b.pixels, a.pixels, std::size_t(a.width) * a.height * 4);
    return D3D_OK;
}

HRESULT SoftwareDevice::StretchRect(IDirect3DSurface9* src, const RECT* src_rect, IDirect3DSurface9* dst,
                                    const RECT* dst_rect, D3DTEXTUREFILTERTYPE filter)
{
    SoftwareSurface* from = software_surface(src);
    SoftwareSurface* to = software_surface(dst);
    if (from == nullptr || to == nullptr || from == to) return D3DERR_INVALIDCALL;
    RECT s = src_rect ? *src_rect : RECT{0, 0, LONG(from->width()), LONG(from->height())};
    RECT d = dst_rect ? *dst_rect : RECT{0, 0, LONG(to->width()), LONG(to->height())};
    auto inside = [](const RECT& r, SoftwareSurface* surface) {
        return r.left >= 0 && r.top >= 0 && r.left < r.right && r.top < r.bottom && r.right <= LONG(surface->width()) &&
               r.bottom <= LONG(surface->height());
    };
    if (!inside(s, from) || !inside(d, to)) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    raster::Image texels = from->image(), target = to->image();
    float w = float(texels.width), h = float(texels.height);
    raster::Quad quad{{float(d.left), float(d.right), float(d.left)},
                      {float(d.top), float(d.top), float(d.bottom)},
                      {s.left / w, s.right / w, s.left / w},
                      {s.top / h, s.top / h, s.bottom / h},
                      0xffffffffu};
    raster::StageState copy;
    copy.color_op = D3DTOP_SELECTARG1;
    copy.linear = filter == D3DTEXF_LINEAR;
    raster::fill_quad(target, raster::Box{d.left, d.top, d.right, d.bottom}, quad, &texels, copy, raster::BlendState{},
                      m_scratch);
    return D3D_OK;
}

HRESULT SoftwareDevice::ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color)
{
    SoftwareSurface* to = software_surface(surface);
    if (to == nullptr) return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : RECT{0, 0, LONG(to->width()), LONG(to->height())};
    raster::Box box{std::max<int>(r.left, 0), std::max<int>(r.top, 0), std::min<int>(r.right, to->width()),
                    std::min<int>(r.bottom, to->height())};
    if (box.left >= box.right || box.top >= box.bottom) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    raster::fill_box(to->image(), box, color);
    return D3D_OK;
}

HRESULT SoftwareDevice::SetRenderTarget(DWORD index, IDirect3DSurface9* surface)
{
    SoftwareSurface* target = software_surface(surface);
    if (index != 0 || target == nullptr || !(target->usage() & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    m_render_target = ComPtr<SoftwareSurface>(target);
    full_viewport();
    return D3D_OK;
}

HRESULT SoftwareDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface)
{
    if (index != 0 || surface == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    *surface = m_render_target.get();
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT SoftwareDevice::BeginScene()
{
    std::scoped_lock hold(m_core->lock);
    if (m_in_scene) return D3DERR_INVALIDCALL;
    m_in_scene = true;
    return D3D_OK;
}

HRESULT SoftwareDevice::EndScene()
{
    std::scoped_lock hold(m_core->lock);
    if (!m_in_scene) return D3DERR_INVALIDCALL;
    m_in_scene = false;
    return D3D_OK;
}

HRESULT SoftwareDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float, DWORD)
{
    if (count > 0 && rects == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    // No depth or stencil buffer is kept: every caller turns depth testing off.
    if (!(flags & D3DCLEAR_TARGET) || m_state != DeviceState::Ready) return D3D_OK;
    raster::Box view = viewport_box();
    auto fill = [&](raster::Box box) {
        box = raster::Box{std::max(box.left, view.left), std::max(box.top, view.top), std::min(box.right, view.right),
                          std::min(box.bottom, view.bottom)};
        if (box.left < box.right && box.top < box.bottom) m_render_target->clear(box, color);
    };
    if (count == 0) fill(view);
    for (DWORD i = 0; i < count; ++i) fill(raster::Box{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
    return D3D_OK;
}

HRESULT SoftwareDevice::SetViewport(const D3DVIEWPORT9* viewport)
{
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    // Summed in 64 bits: a corner near 2^32 must not wrap back inside the target.
    const auto right = std::uint64_t{viewport->X} + viewport->Width;
    const auto bottom = std::uint64_t{viewport->Y} + viewport->Height;
    if (right > m_render_target->width() || bottom > m_render_target->height() || viewport->Width == 0 ||
        viewport->Height == 0)
        return D3DERR_INVALIDCALL;
    m_viewport = *viewport;
    return D3D_OK;
}

HRESULT SoftwareDevice::GetViewport(D3DVIEWPORT9* viewport)
{
    if (viewport == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    *viewport = m_viewport;
    return D3D_OK;
}

HRESULT SoftwareDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (state >= m_render_states.size()) return D3DERR_INVALIDCALL;
    m_render_states.set(state, value);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (state >= m_render_states.size() || value == nullptr) return D3DERR_INVALIDCALL;
    *value = m_render_states.get(state);
    return D3D_OK;
}

HRESULT SoftwareDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    if (stage >= stage_count) return D3DERR_INVALIDCALL;
    if (texture != nullptr && software_texture(texture) == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    m_textures[stage] = ComPtr<IDirect3DBaseTexture9>(texture);
    return D3D_OK;
}

HRESULT SoftwareDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage >= stage_count || type >= 16) return D3DERR_INVALIDCALL;
    m_stage_states[stage].set(type, value);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    if (stage >= stage_count || type >= 16 || value == nullptr) return D3DERR_INVALIDCALL;
    *value = m_stage_states[stage].get(type);
    return D3D_OK;
}

HRESULT SoftwareDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    if (sampler >= stage_count || type >= 16) return D3DERR_INVALIDCALL;
    m_sampler_states[sampler].set(type, value);
    return D3D_OK;
}

HRESULT SoftwareDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (sampler >= stage_count || type >= 16 || value == nullptr) return D3DERR_INVALIDCALL;
    *value = m_sampler_states[sampler].get(type);
    return D3D_OK;
}

HRESULT SoftwareDevice::SetFVF(DWORD fvf)
{
    m_fvf.store(fvf, std::memory_order_relaxed);
    return D3D_OK;
}

// Reads a two-triangle strip or fan that forms a parallelogram into screen space.
bool SoftwareDevice::read_quad(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride,
                               raster::Quad& quad)
{
    DWORD fvf = m_fvf.load(std::memory_order_relaxed);
    bool rhw = fvf & D3DFVF_XYZRHW;
    if (!rhw && !(fvf & D3DFVF_XYZ)) return false;
    UINT diffuse_at = rhw ? 16 : 12;
    UINT tex_at = diffuse_at + ((fvf & D3DFVF_DIFFUSE) ? 4 : 0);
    UINT size = tex_at + ((fvf & D3DFVF_TEX1) ? 8 : 0);
    if (count != 2 || stride < size || (type != D3DPT_TRIANGLESTRIP && type != D3DPT_TRIANGLEFAN)) return false;
    struct Corner { float x, y, u, v; D3DCOLOR c; } corner[4];
    const auto* bytes = static_cast<const unsigned char*>(vertices);
    for (int i = 0; i < 4; ++i) {
        const unsigned char* at = bytes + i * stride;
        float xyz[2];
        std::memcpy(xyz, at, sizeof xyz);
        corner[i] = {xyz[0], xyz[1], 0.0f, 0.0f, 0xffffffffu};
        if (!rhw) {   // clip space with identity transforms, mapped onto the viewport
            corner[i].x = m_viewport.X + (xyz[0] + 1.0f) * 0.5f * m_viewport.Width;
            corner[i].y = m_viewport.Y + (1.0f - xyz[1]) * 0.5f * m_viewport.Height;
        }
        if (fvf & D3DFVF_DIFFUSE) std::memcpy(&corner[i].c, at + diffuse_at, 4);
        if (fvf & D3DFVF_TEX1) {
            std::memcpy(&corner[i].u, at + tex_at, 4);
            std::memcpy(&corner[i].v, at + tex_at + 4, 4);
        }
    }
    // Strip 0-1-2, 1-3-2: corners 1 and 2 are across from each other. Fan 0-1-2, 0-2-3: 0 and 2 are.
    int a = 0, b = 1, c = type == D3DPT_TRIANGLESTRIP ? 2 : 3, d = type == D3DPT_TRIANGLESTRIP ? 3 : 2;
    auto near = [](float p, float q) { return std::abs(p - q) < 1e-3f; };
    if (!near(corner[b].x + corner[c].x, corner[a].x + corner[d].x) ||
        !near(corner[b].y + corner[c].y, corner[a].y + corner[d].y))
        return false;
    const int order[3] = {a, b, c};
    for (int i = 0; i < 3; ++i) {
        quad.x[i] = corner[order[i]].x;
        quad.y[i] = corner[order[i]].y;
        quad.u[i] = corner[order[i]].u;
        quad.v[i] = corner[order[i]].v;
    }
    quad.diffuse = corner[0].c;   // the quads drawn have one colour
    return true;
}

raster::StageState SoftwareDevice::stage_state(const raster::Quad& quad, const SoftwareTexture* texture)
{
    const auto& t = m_stage_states[0];
    raster::StageState s{t.get(D3DTSS_COLOROP), t.get(D3DTSS_COLORARG1), t.get(D3DTSS_COLORARG2),
                         t.get(D3DTSS_ALPHAOP), t.get(D3DTSS_ALPHAARG1), t.get(D3DTSS_ALPHAARG2), false};
    // Magnifying uses the magnification filter, shrinking the minification filter.
    float area = std::abs((quad.x[1] - quad.x[0]) * (quad.y[2] - quad.y[0]) - (quad.y[1] - quad.y[0]) * (quad.x[2] - quad.x[0]));
    float texels = 0.0f;
    if (texture) {
        const SoftwareSurface& level = const_cast<SoftwareTexture*>(texture)->level();
        texels = std::abs((quad.u[1] - quad.u[0]) * (quad.v[2] - quad.v[0]) - (quad.v[1] - quad.v[0]) * (quad.u[2] - quad.u[0])) *
                 float(level.width()) * float(level.height());
    }
    DWORD filter = m_sampler_states[0].get(area >= texels ? D3DSAMP_MAGFILTER : D3DSAMP_MINFILTER);
    s.linear = filter == D3DTEXF_LINEAR || filter == D3DTEXF_ANISOTROPIC;
    return s;
}

raster::BlendState SoftwareDevice::blend_state()
{
    const auto& r = m_render_states;
    return raster::BlendState{r.get(D3DRS_ALPHABLENDENABLE) != 0, r.get(D3DRS_SRCBLEND), r.get(D3DRS_DESTBLEND),
                              r.get(D3DRS_SEPARATEALPHABLENDENABLE) != 0, r.get(D3DRS_SRCBLENDALPHA),
                              r.get(D3DRS_DESTBLENDALPHA), r.get(D3DRS_ALPHATESTENABLE) != 0, r.get(D3DRS_ALPHAFUNC),
                              r.get(D3DRS_ALPHAREF)};
}

HRESULT SoftwareDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitive_count, const void* vertices, UINT stride)
{
    if (vertices == nullptr) return D3DERR_INVALIDCALL;
    std::scoped_lock hold(m_core->lock);
    if (m_state != DeviceState::Ready) return D3D_OK;   // a lost device draws nothing and says nothing
    raster::Quad quad{};
    if (!read_quad(type, primitive_count, vertices, stride, quad)) {
        debug_log("d3d9: DrawPrimitiveUP draws two-triangle parallelograms only");
        return D3DERR_NOTAVAILABLE;
    }
    SoftwareTexture* texture = software_texture(m_textures[0].get());
    raster::StageState stage = stage_state(quad, texture);
    raster::Image texels{};
    if (texture) texels = texture->level().image();
    raster::fill_quad(m_render_target->draw_target(), viewport_box(), quad, texture ? &texels : nullptr, stage, blend_state(),
                      m_scratch);
    return D3D_OK;
}

void SoftwareDevice::draw_coverage(const raster::Coverage* glyphs, std::size_t count, D3DCOLOR color)
{
    std::scoped_lock hold(m_core->lock);
    if (m_state != DeviceState::Ready) return;
    raster::Quad unscaled{{0, 1, 0}, {0, 0, 1}, {0, 1, 0}, {0, 0, 1}, color};
    raster::fill_coverage(m_render_target->draw_target(), viewport_box(), glyphs, count, stage_state(unscaled, nullptr), color,
                          blend_state(), m_scratch);
}

void SoftwareDevice::inject(DeviceLoss loss)
{
    std::scoped_lock hold(m_core->lock);
    m_state = loss == DeviceLoss::Lost ? DeviceState::Lost : DeviceState::ResetPending;
}

}

void inject_device_loss(IDirect3DDevice9* device, DeviceLoss loss)
{
    if (auto* ours = dynamic_cast<SoftwareDevice*>(device)) ours->inject(loss);
}

void set_texture_caps(IDirect3DDevice9* device, DWORD caps)
{
    if (auto* ours = dynamic_cast<SoftwareDevice*>(device)) ours->set_texture_caps(caps);
}

bool draw_coverage(IDirect3DDevice9* device, const raster::Coverage* glyphs, std::size_t count, D3DCOLOR color)
{
    auto* ours = dynamic_cast<SoftwareDevice*>(device);
    if (ours) ours->draw_coverage(glyphs, count, color);
    return ours != nullptr;
}

}

IDirect3D9* Direct3DCreate9(UINT sdk_version)
{
    // The top bit asks for debug information, which this layer does not give.
    if ((sdk_version & 0x7fffffffu) != D3D_SDK_VERSION) return nullptr;
    return new plat::SoftwareDirect3D();
}
