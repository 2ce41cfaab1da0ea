// The one place skin resources are kept and looked up by name: textures,
// pictures cut from them, fonts and the default texts.
#pragma once

#include "platform/base/Types.h"
#include "platform/window/Handles.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace RenderEngine {
class backbuffer;
class d3dfont;
class picture;
class texture;
struct fontstyle;
}

namespace UI {

class resMgr {
public:
    resMgr();
    virtual ~resMgr();
    resMgr(const resMgr&) = delete;
    resMgr& operator=(const resMgr&) = delete;

    virtual bool Init(HWND window);
    // folder: ignored by the Direct3D kind, which reads the program folder.
    virtual bool LoadSkin(const std::u16string& folder) = 0;
    virtual bool ResetDevice();
    virtual bool LoadPicture(const std::u16string& path, const std::string& name, int id);
    virtual bool LoadPictureByPath(const std::u16string& path, std::string& name);
    // Looking up a missing name stores a null entry under it and gives null;
    // the first time, the debug output names it.
    virtual RenderEngine::picture* GetPicture(const std::string& name);
    virtual RenderEngine::picture* GetPictureByPath(const std::u16string& path, std::string& name);
    // The caller owns the record; its font is null (and a null entry is
    // added) when the font does not exist.
    virtual RenderEngine::fontstyle* CreateFontStyle(DWORD format, DWORD color, const std::string& font_name,
                                                     float scale_x, float scale_y);
    // The caller owns the back buffer.
    virtual RenderEngine::backbuffer* CreateBackBuffer(unsigned width, unsigned height, bool render_target);

    RenderEngine::texture* GetTexture(const std::string& name);
    RenderEngine::d3dfont* GetFont(const std::string& name);
    // How many device resets ran: surfaces filled before the last one came back empty.
    int GetResetCount() const { return m_reset_count.load(); }
    // Empty for an id without a text.
    std::u16string GetText(int id) const;

protected:
    // The maps own what they hold; pointers handed out stay valid for the
    // run (a reset only recreates device objects in place), except a window
    // surface's texture, which lives as long as its back buffer. Filled on the UI
    // thread, looked up from the compose and logic threads too.
    mutable std::mutex m_lock;
    std::map<std::string, std::shared_ptr<RenderEngine::texture>> m_textures;  // guarded by m_lock
    std::map<std::string, std::unique_ptr<RenderEngine::picture>> m_pictures;  // guarded by m_lock
    std::map<std::string, std::unique_ptr<RenderEngine::d3dfont>> m_fonts;     // guarded by m_lock
    std::map<int, std::u16string> m_texts;                                      // guarded by m_lock
    // Textures replaced by a reload under their name: strip pictures may
    // still point at them, so they stay and follow every reset.
    std::vector<std::shared_ptr<RenderEngine::texture>> m_replaced;            // guarded by m_lock
    // Window surfaces' textures by "BkBuffer_N": each goes with its back
    // buffer, so a reset brings back only the surfaces that still live.
    std::map<std::string, std::weak_ptr<RenderEngine::texture>> m_back_buffers;  // guarded by m_lock
    int m_backbuffer_counter{200};                                             // guarded by m_lock
    std::atomic<int> m_reset_count{0};
};

// Texts through the ANSI code page (UTF-8 here), returned by value so that
// callers on different threads never share a buffer.
std::string WideToAnsi(std::u16string_view text);
std::u16string AnsiToWide(std::string_view text);

// A picture a widget can show: present, with a size and a texture behind it.
// A skin file that failed to load leaves a picture of size 0 under its name;
// callers with a stand-in (such as "black_image") use this test to pick it.
bool IsUsablePicture(const RenderEngine::picture* picture);

}
