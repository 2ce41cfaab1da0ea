// The pieces a demo screen is composed of from the skin: pictures, buttons,
// captioned buttons and labels placed on a window. Every picture asked for is
// remembered, so a demo can fail when the skin lacks one, and a composed
// surface can be saved as PNG.
#pragma once

#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/window.h"

#include "platform/com/ComPtr.h"

#include <cstdint>
#include <string>

struct IDirect3DDevice9;
struct ID3DXSprite;

namespace RenderEngine {
class backbuffer;
class D3D9Render;
}

namespace UI {

class d3dresMgr;

inline constexpr fcolor SkinInk{31, 31, 31};
inline constexpr fcolor SkinLight{188, 188, 188};
inline constexpr fcolor SkinWhite{255, 255, 255};

// Remembers a picture (or a button's four state pictures) the screen shows.
void ask_picture(const std::string& name);
void ask_strip(const std::string& base);
// How many asked pictures the manager lacks or holds empty; each is named on stderr.
int count_missing_pictures(d3dresMgr& manager, const char* program);

// A mouse-transparent label on any parent (a tree node's caption too).
wtext* skin_label(widget& parent, const std::u16string& caption, float x, float y, float w, float h,
                  fcolor colour, const char* font = "font_a12", int format = 4 | 32);

class wtreenode;

// A tree row under parent: an icon and a label, indented, the row width wide.
wtreenode* tree_row(wtreenode& parent, const char* icon, const std::u16string& caption, float indent,
                    float width = 212);

class SkinScreen {
public:
    explicit SkinScreen(window& root) : m_root(root) {}

    // A picture, nine-grid stretched to w x h when a size is given.
    wimage* image(const std::string& picture, float x, float y, float w = 0, float h = 0, Borders b = {});
    wbtn* button(const std::string& skin, float x, float y, float w = 0, float h = 0);
    // A function button with its caption drawn by the button itself.
    wbtn* captioned(const std::u16string& caption, float x, float y, float w, fcolor colour,
                    int format = 1 | 4 | 32);
    wtext* text(const std::u16string& caption, float x, float y, float w, float h, fcolor colour,
                const char* font = "font_a12", int format = 4 | 32);
    window& root() { return m_root; }

private:
    window& m_root;
    int m_count{0};
};

// What a demo screen draws with: the resource manager, the software
// renderer sharing its device and sprite, and the generated skin loaded.
// The renderer lets go of the device when this goes.
class SkinRenderer {
public:
    SkinRenderer();
    ~SkinRenderer();
    SkinRenderer(const SkinRenderer&) = delete;
    SkinRenderer& operator=(const SkinRenderer&) = delete;

    d3dresMgr& manager() { return m_manager; }
    RenderEngine::D3D9Render& renderer() { return *m_renderer; }
    IDirect3DDevice9* device() const { return m_device.get(); }

private:
    d3dresMgr m_manager;
    RenderEngine::D3D9Render* m_renderer;   // the process's renderer
    plat::ComPtr<IDirect3DDevice9> m_device;
    plat::ComPtr<ID3DXSprite> m_sprite;
};

// Writes a render-target surface as PNG; false when it has no texture or cannot be written.
bool save_png(RenderEngine::backbuffer* surface, const char* path);
// One pixel (0xAARRGGBB) of a drawn surface; 0 when it cannot be read.
std::uint32_t read_pixel(RenderEngine::backbuffer* surface, int x, int y);

}
