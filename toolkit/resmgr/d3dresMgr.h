// The Direct3D skin resource manager: makes the device, loads the skin
// tables into textures, pictures and fonts, and brings them all back after a
// device reset. One per process.
#pragma once

#include "toolkit/resmgr/resMgr.h"

#include "platform/com/ComPtr.h"
#include "platform/d3d9/Direct3D.h"

#include <span>

struct ID3DXSprite;
struct SkinImageEntry;

namespace UI {

class d3dresMgr : public resMgr {
public:
    d3dresMgr();
    ~d3dresMgr() override;

    // Null before one is made and after it goes.
    static d3dresMgr* Instance();

    // Makes the device and sprite and the renderer's surfaces come from here.
    bool Init(HWND window) override;
    bool LoadSkin(const std::u16string& folder) override;
    // Runs under the UI render lock, so no frame draws with released objects.
    bool ResetDevice() override;
    bool LoadPicture(const std::u16string& path, const std::string& name, int id) override;
    bool LoadPictureByPath(const std::u16string& path, std::string& name) override;
    RenderEngine::picture* GetPictureByPath(const std::u16string& path, std::string& name) override;
    RenderEngine::fontstyle* CreateFontStyle(DWORD format, DWORD color, const std::string& font_name, float scale_x,
                                             float scale_y) override;
    RenderEngine::backbuffer* CreateBackBuffer(unsigned width, unsigned height, bool render_target) override;

    // The module the UI texts come from: the program's own (the default) or
    // the language catalogue the start-up loaded.
    void SetResourceModule(HINSTANCE module) { m_resource_module.store(module); }
    // String id of the resource module, empty when it has none. A copy: the
    // UI and logic threads load texts at the same time.
    std::u16string LoadText(int id) const;

    // Each with a reference added; null when there is none.
    IDirect3DDevice9* GetDevice() const;
    ID3DXSprite* GetSprite() const;

private:
    bool create_device();
    void set_device_states();
    void load_fonts();
    void load_image_table(const std::string& folder);
    void load_strip_table(const std::string& folder, std::span<const SkinImageEntry> table);
    void load_menu_table(const std::string& folder);
    void load_background();
    void make_black_image();
    std::shared_ptr<RenderEngine::texture> load_texture(int id, const std::string& name, const std::u16string& path);
    void give_renderer_sprite();
    // The textures of the window surfaces that still live; under m_lock.
    std::vector<std::shared_ptr<RenderEngine::texture>> live_surfaces() const;

    std::atomic<HINSTANCE> m_resource_module{nullptr};   // null: the program's own
    HWND m_window{nullptr};
    plat::ComPtr<IDirect3D9> m_d3d;
    plat::ComPtr<IDirect3DDevice9> m_device;
    plat::ComPtr<ID3DXSprite> m_sprite;
    D3DCAPS9 m_caps{};
    D3DPRESENT_PARAMETERS m_present{};
};

// Mode 0 starts the GDI+ layer and makes no manager; mode 2 makes the
// Direct3D manager, the singleton, and runs its Init. Always true.
bool CreateResMgr(HWND window, int mode);

}
