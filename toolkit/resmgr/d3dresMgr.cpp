#include "toolkit/resmgr/d3dresMgr.h"

#include "components/common/libutil/ByteBuffer.h"
#include "components/common/libutil/TextEncoders.h"
#include "core/settings/CAppSettings.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/d3d9/D3DX.h"
#include "platform/display/Display.h"
#include "platform/fs/Folders.h"
#include "platform/window/StringTable.h"
#include "platform/gdiplus/Gdiplus.h"
#include "screens/tables/UITables.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/render.h"
#include "toolkit/render/texture.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/WindowSurface.h"

#include <atomic>

namespace UI {
namespace {

std::atomic<d3dresMgr*> g_instance{nullptr};

std::unique_ptr<RenderEngine::d3dpic> cut(RenderEngine::texture* source, float left, float right, float width)
{
    auto pic = std::make_unique<RenderEngine::d3dpic>(source, left, 0, right, source->GetHeight());
    pic->SetSize(width, source->GetHeight());
    return pic;
}

RenderEngine::D3D9Render* d3d_renderer() { return dynamic_cast<RenderEngine::D3D9Render*>(RenderEngine::GetRender()); }

void screen_size_to_settings(const plat::ScreenSize& size)
{
    if (CAppSettings* settings = CAppSettings::Instance()) {
        settings->SetNumber(2, size.width);
        settings->SetNumber(3, size.height);
    }
}

}  // namespace

d3dresMgr::d3dresMgr() { g_instance.store(this); }

d3dresMgr::~d3dresMgr()
{
    SetWindowSurfaceMaker(nullptr);
    d3dresMgr* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
}

d3dresMgr* d3dresMgr::Instance() { return g_instance.load(); }

std::u16string d3dresMgr::LoadText(int id) const
{
    if (id < 0) return {};
    // The module's own copy, whole: no shared buffer and no cut at 259 units.
    const WCHAR* text = nullptr;
    const int length = LoadStringW(m_resource_module.load(), static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&text), 0);
    return text ? std::u16string(text, static_cast<std::size_t>(length)) : std::u16string();
}

bool d3dresMgr::Init(HWND window)
{
    {
        std::scoped_lock hold(m_lock);
        m_backbuffer_counter = 200;
    }
    m_window = window;
    const plat::ScreenSize screen = plat::screen_size();
    screen_size_to_settings(screen);
    m_d3d = plat::ComPtr<IDirect3D9>::adopt(Direct3DCreate9(0x80000000u | D3D_SDK_VERSION));
    if (m_d3d)
        m_d3d->GetDeviceCaps(0, D3DDEVTYPE_HAL, &m_caps);
    m_present.BackBufferWidth = UINT(screen.width);
    m_present.BackBufferHeight = UINT(screen.height);
    m_present.BackBufferFormat = D3DFMT_A8R8G8B8;
    m_present.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_present.hDeviceWindow = window;
    m_present.Windowed = TRUE;
    m_present.EnableAutoDepthStencil = TRUE;
    m_present.AutoDepthStencilFormat = D3DFMT_D16;
    m_present.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    if (create_device()) {
        D3DXCreateSprite(m_device.get(), m_sprite.put());
        set_device_states();
    }
    if ((m_caps.TextureFilterCaps & D3DPTFILTERCAPS_MAGFGAUSSIANQUAD) == 0)
        if (CAppSettings* settings = CAppSettings::Instance())
            settings->SetNumber(13, 2);
    // From now on window surfaces are made here, so a reset can bring them back.
    SetWindowSurfaceMaker([this](unsigned width, unsigned height) { return CreateBackBuffer(width, height, true); });
    return true;
}

bool d3dresMgr::create_device()
{
    if (!m_d3d)
        return false;
    for (DWORD processing : {D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DCREATE_SOFTWARE_VERTEXPROCESSING}) {
        D3DPRESENT_PARAMETERS params = m_present;
        if (SUCCEEDED(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, m_window, processing | D3DCREATE_MULTITHREADED, &params,
                                          m_device.put())))
            return true;
    }
    plat::debug_log("resMgr: no Direct3D device");
    return false;
}

void d3dresMgr::set_device_states()
{
    for (DWORD stage = 0; stage < 6; ++stage) {
        m_device->SetSamplerState(stage, D3DSAMP_MAXANISOTROPY, m_caps.MaxAnisotropy);
        m_device->SetSamplerState(stage, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        m_device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        m_device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    }
    m_device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    m_device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    m_device->SetRenderState(D3DRS_MULTISAMPLEANTIALIAS, FALSE);
}

IDirect3DDevice9* d3dresMgr::GetDevice() const
{
    if (m_device)
        m_device->AddRef();
    return m_device.get();
}

ID3DXSprite* d3dresMgr::GetSprite() const
{
    if (m_sprite)
        m_sprite->AddRef();
    return m_sprite.get();
}

bool d3dresMgr::LoadSkin(const std::u16string& folder)
{
    load_fonts();
    const std::string root = folder.empty() ? plat::program_folder() : plat::utf16_to_utf8(folder);
    load_image_table(root);
    load_background();
    load_strip_table(root, SkinImageTable2());
    load_strip_table(root, ExtraSkinStrips());
    {
        std::scoped_lock hold(m_lock);
        for (const auto& entry : DefaultUITextTable())
            m_texts[entry.id] = entry.text;
    }
    load_menu_table(root);
    make_black_image();
    return true;
}

// Fonts keep their objects across a reset: only the Direct3D font inside is
// made again, so font styles made before the reset stay valid.
void d3dresMgr::load_fonts()
{
    for (const auto& entry : SkinFontTable()) {
        plat::ComPtr<ID3DXFont> made;
        if (m_device)
            D3DXCreateFontIndirectW(m_device.get(), &entry.description, made.put());
        std::scoped_lock hold(m_lock);
        auto& slot = m_fonts[entry.name];
        if (slot)
            slot->RestoreDeviceObject(made.get());
        else
            slot = std::make_unique<RenderEngine::d3dfont>(made.get());
    }
}

std::shared_ptr<RenderEngine::texture> d3dresMgr::load_texture(int id, const std::string& name,
                                                               const std::u16string& path)
{
    auto made = std::make_shared<RenderEngine::texture>(m_device.get(), id, name);
    made->Load(path, 255.0f);
    return made;
}

void d3dresMgr::load_image_table(const std::string& folder)
{
    for (const auto& entry : SkinImageTable()) {
        const auto path = plat::utf8_to_utf16(plat::join_path(folder, SkinRelativePath(entry.file)));
        auto made = load_texture(entry.id, entry.name, path);
        auto pic = cut(made.get(), 0, made->GetWidth(), made->GetWidth());
        std::scoped_lock hold(m_lock);
        m_textures[entry.name] = std::move(made);
        m_pictures[entry.name] = std::move(pic);
    }
}

void d3dresMgr::load_background()
{
    CAppSettings* settings = CAppSettings::Instance();
    const WCHAR* path = settings ? settings->GetPath(8) : nullptr;
    if (!path || !path[0])
        return;
    const std::string name = "User-UI-Background";
    auto made = load_texture(51, name, path);
    auto pic = cut(made.get(), 0, made->GetWidth(), made->GetWidth());
    std::scoped_lock hold(m_lock);
    m_textures[name] = std::move(made);
    m_pictures[name] = std::move(pic);
}

void d3dresMgr::load_strip_table(const std::string& folder, std::span<const SkinImageEntry> table)
{
    static constexpr const char* suffixes[] = {"_normal", "_highlight", "_pressed", "_disabled"};
    for (const auto& entry : table) {
        const auto path = plat::utf8_to_utf16(plat::join_path(folder, SkinRelativePath(entry.file)));
        auto made = load_texture(entry.id, entry.name, path);
        const float quarter = made->GetWidth() / 4;
        std::scoped_lock hold(m_lock);
        for (int i = 0; i < 4; ++i)
            m_pictures[std::string(entry.name) + suffixes[i]] = cut(made.get(), quarter * i, quarter * (i + 1), quarter);
        m_textures[entry.name] = std::move(made);
    }
}

void d3dresMgr::load_menu_table(const std::string& folder)
{
    for (const auto& entry : MenuImageTable()) {
        const auto path = plat::utf8_to_utf16(plat::join_path(folder, SkinRelativePath(entry.file)));
        auto made = load_texture(entry.id, entry.name, path);
        const float width = made->GetWidth();
        std::scoped_lock hold(m_lock);
        m_pictures[std::string(entry.name) + "_left"] = cut(made.get(), 0, 54, width);
        m_pictures[std::string(entry.name) + "_right"] = cut(made.get(), 54, width, width);
        m_textures[entry.name] = std::move(made);
    }
}

void d3dresMgr::make_black_image()
{
    const std::string name = "black_image";
    RenderEngine::texture staging(m_device.get(), 0, name);
    auto made = std::make_shared<RenderEngine::texture>(m_device.get(), 0, name);
    if (m_device && staging.Create(4, 4, D3DPOOL_SYSTEMMEM, D3DFMT_A8R8G8B8) &&
        made->Create(4, 4, D3DPOOL_DEFAULT, D3DFMT_A8R8G8B8)) {
        auto source = plat::ComPtr<IDirect3DTexture9>::adopt(staging.GetD3DTexture());
        auto target = plat::ComPtr<IDirect3DTexture9>::adopt(made->GetD3DTexture());
        D3DLOCKED_RECT locked{};
        if (SUCCEEDED(source->LockRect(0, &locked, nullptr, 0))) {
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    static_cast<DWORD*>(locked.pBits)[y * (locked.Pitch / 4) + x] = 0xff000000u;
            source->UnlockRect(0);
            m_device->UpdateTexture(source.get(), target.get());
        }
    }
    auto pic = cut(made.get(), 0, 4, 4);
    pic->SetSize(4, 4);
    std::scoped_lock hold(m_lock);
    m_textures[name] = std::move(made);
    m_pictures[name] = std::move(pic);
}

bool d3dresMgr::LoadPicture(const std::u16string& path, const std::string& name, int id)
{
    {
        std::scoped_lock hold(m_lock);
        if (m_pictures[name])
            return true;
    }
    auto made = load_texture(id, name, path);
    auto pic = cut(made.get(), 0, made->GetWidth(), made->GetWidth());
    std::scoped_lock hold(m_lock);
    auto& slot = m_textures[name];
    if (slot)
        m_replaced.push_back(std::move(slot));   // strip pictures cut from it may still be drawn
    slot = std::move(made);
    m_pictures[name] = std::move(pic);
    return true;
}

bool d3dresMgr::LoadPictureByPath(const std::u16string& path, std::string& name)
{
    const std::string bytes = WideToAnsi(path);
    name = LibUtil::MD5HexString(LibUtil::ByteBuffer(bytes));
    return LoadPicture(path, name, 0);
}

RenderEngine::picture* d3dresMgr::GetPictureByPath(const std::u16string& path, std::string& name)
{
    const std::string bytes = WideToAnsi(path);
    name = LibUtil::MD5HexString(LibUtil::ByteBuffer(bytes));
    // Not the skin's: a file not loaded yet is the usual answer, and no fault.
    std::scoped_lock hold(m_lock);
    return m_pictures[name].get();
}

RenderEngine::fontstyle* d3dresMgr::CreateFontStyle(DWORD format, DWORD color, const std::string& font_name,
                                                    float scale_x, float scale_y)
{
    auto* style = new RenderEngine::fontstyle{format, color, font_name, nullptr, scale_x, scale_y};
    style->pfont = GetFont(font_name);
    return style;
}

RenderEngine::backbuffer* d3dresMgr::CreateBackBuffer(unsigned width, unsigned height, bool render_target)
{
    RenderEngine::render* renderer = RenderEngine::GetRender();
    if (!renderer)
        return nullptr;
    RenderEngine::backbuffer* made = renderer->CreateBackBuffer(width, height, render_target);
    auto* d3d = dynamic_cast<RenderEngine::d3dbackbuffer*>(made);
    std::scoped_lock hold(m_lock);
    std::erase_if(m_back_buffers, [](const auto& entry) { return entry.second.expired(); });
    const std::string name = "BkBuffer_" + std::to_string(m_backbuffer_counter++);
    if (d3d)
        m_back_buffers[name] = d3d->SharedTexture();
    return made;
}

std::vector<std::shared_ptr<RenderEngine::texture>> d3dresMgr::live_surfaces() const
{
    std::vector<std::shared_ptr<RenderEngine::texture>> live;
    for (const auto& [name, surface] : m_back_buffers)
        if (auto texture = surface.lock())
            live.push_back(std::move(texture));
    return live;
}

void d3dresMgr::give_renderer_sprite()
{
    if (RenderEngine::D3D9Render* renderer = d3d_renderer()) {
        renderer->SetSprite(m_sprite.get());
        renderer->SetSwapChain(nullptr);
    }
}

bool d3dresMgr::ResetDevice()
{
    CMutexGuard hold_frame(UIRenderMutex());
    // Held for the walk: a window surface freed meanwhile keeps its texture until the reset ends.
    std::vector<std::shared_ptr<RenderEngine::texture>> surfaces;
    {
        std::scoped_lock hold(m_lock);
        surfaces = live_surfaces();
        for (auto& [name, made] : m_textures)
            if (made)
                made->ReleaseDeviceObject();
        for (auto& made : m_replaced)
            made->ReleaseDeviceObject();
        for (auto& made : surfaces)
            made->ReleaseDeviceObject();
        for (auto& [name, made] : m_fonts)
            if (made)
                made->ReleaseDeviceObject();
    }
    m_sprite.reset();
    if (RenderEngine::D3D9Render* renderer = d3d_renderer()) {
        renderer->SetSprite(nullptr);
        renderer->SetSwapChain(nullptr);
    }
    const plat::ScreenSize screen = plat::screen_size();
    screen_size_to_settings(screen);
    m_present.BackBufferWidth = UINT(screen.width);
    m_present.BackBufferHeight = UINT(screen.height);
    const bool reset = m_device && SUCCEEDED(m_device->Reset(&m_present));
    if (m_device)
        D3DXCreateSprite(m_device.get(), m_sprite.put());
    give_renderer_sprite();
    {
        std::scoped_lock hold(m_lock);
        for (auto& [name, made] : m_textures)
            if (made)
                made->RestoreDeviceObject();
        for (auto& made : m_replaced)
            made->RestoreDeviceObject();
        for (auto& made : surfaces)
            made->RestoreDeviceObject();
    }
    load_fonts();
    ++m_reset_count;
    return reset;
}

bool CreateResMgr(HWND window, int mode)
{
    if (mode == 0) {
        ULONG_PTR token = 0;
        Gdiplus::GdiplusStartupInput input{};
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    } else if (mode == 2) {
        static d3dresMgr manager;
        manager.Init(window);
    }
    return true;
}

}
