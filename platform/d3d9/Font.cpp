// The D3DX font over FreeType and fontconfig. Glyphs are rendered once into
// 8-bit coverage and drawn through a sprite a line at a time, as textures of
// premultiplied white coverage would be, so sprite transforms and blend
// states apply to text as to pictures. A sprite turned or scaled draws glyph
// textures (made on first need) one by one.

#include "platform/d3d9/D3DX.h"

#include "platform/com/ComObject.h"
#include "FontFaces.h"
#include "GlyphRun.h"

#include "platform/base/DebugLog.h"
#include "platform/com/ComPtr.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Glyph {
    std::vector<std::uint8_t> coverage;        // width x height, row after row; empty for blank glyphs
    plat::ComPtr<IDirect3DTexture9> texture;   // the coverage as premultiplied white, made when a run cannot be drawn
    int width{0};
    int height{0};
    int left{0};      // pen to bitmap's left edge
    int top{0};       // baseline to bitmap's top edge (upwards)
    int advance{0};
};

struct LibraryDone {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDone {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};

// The system's font table, loaded once and freed at exit.
class FontTable {
public:
    static FcConfig* config()
    {
        static FontTable table;
        return table.m_config;
    }

private:
    FontTable() : m_config(FcInitLoadConfigAndFonts()) {}
    ~FontTable() { FcConfigDestroy(m_config); }
    FcConfig* m_config;
};

struct Placed {
    Glyph* glyph;
    int x;   // pen position relative to the line start
};

// A laid-out text: glyphs line after line; the buffers are kept from draw to draw.
struct Layout {
    std::vector<Placed> placed;
    std::vector<std::size_t> line_ends;   // per line: one past its last glyph in `placed`
    std::vector<int> widths;              // per line
    std::size_t lines() const { return line_ends.size(); }
};

class Font final : public plat::ComObject<ID3DXFont> {
public:
    static HRESULT create(IDirect3DDevice9* device, const D3DXFONT_DESCW& desc, ID3DXFont** font);

    HRESULT GetDescW(D3DXFONT_DESCW* desc) override
    {
        if (desc == nullptr) return D3DERR_INVALIDCALL;
        *desc = m_desc;
        return D3D_OK;
    }
    INT DrawTextW(ID3DXSprite* sprite, LPCWSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR color) override;

private:
    Font(IDirect3DDevice9* device, const D3DXFONT_DESCW& desc) : m_device(device), m_desc(desc) {}
    bool open(std::string& error);
    bool open_face(const std::string& family, std::unique_ptr<FT_FaceRec_, FaceDone>& out, bool& embolden,
                   std::string& error);
    FT_Face face_for(char32_t code, bool& embolden);
    Glyph& glyph(char32_t code);
    IDirect3DTexture9* texture_of(Glyph& g);
    void lay_out(std::u16string_view text, DWORD format);
    void draw_lines(ID3DXSprite* sprite, const RECT& rect, DWORD format, D3DCOLOR color);
    void draw_glyphs(ID3DXSprite* sprite, const plat::raster::Coverage* run, std::size_t count, D3DCOLOR color);

    plat::ComPtr<IDirect3DDevice9> m_device;
    D3DXFONT_DESCW m_desc;
    std::mutex m_lock;
    std::unique_ptr<FT_LibraryRec_, LibraryDone> m_library;   // guarded by m_lock
    std::unique_ptr<FT_FaceRec_, FaceDone> m_face;            // guarded by m_lock
    bool m_embolden{false};
    std::unique_ptr<FT_FaceRec_, FaceDone> m_fallback;        // guarded by m_lock; opened on first need
    bool m_fallback_tried{false};                              // guarded by m_lock
    bool m_fallback_embolden{false};                           // guarded by m_lock
    int m_ascent{0};
    int m_line_height{0};
    std::map<char32_t, Glyph> m_glyphs;                       // guarded by m_lock; entries never move
    Layout m_layout;                                          // guarded by m_lock: the text being drawn
    std::vector<plat::raster::Coverage> m_run;                // guarded by m_lock: the line being drawn
    std::vector<Glyph*> m_run_glyphs;                         // guarded by m_lock: whose coverage m_run shows
};

// Finds and sizes the face fontconfig gives for a family at this font's weight, slant and height.
bool Font::open_face(const std::string& family, std::unique_ptr<FT_FaceRec_, FaceDone>& out, bool& embolden,
                     std::string& error)
{
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(int(m_desc.Weight ? m_desc.Weight : 400)));
    FcPatternAddInteger(pattern, FC_SLANT, m_desc.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfig* config = FontTable::config();
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    FcChar8* file = nullptr;
    int index = 0;
    FcBool bold = FcFalse;
    bool found = match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
    std::string path = found ? reinterpret_cast<const char*>(file) : "";
    if (match) {
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &bold);
        FcPatternDestroy(match);
    }
    FT_Face face = nullptr;
    if (!found || FT_New_Face(m_library.get(), path.c_str(), index, &face) != 0) {
        error = "no font file for " + family;
        return false;
    }
    out.reset(face);
    embolden = bold;
    int height = m_desc.Height == 0 ? 12 : m_desc.Height;
    // A negative height is the character (em) height, a positive one the cell height.
    FT_Size_RequestRec request{height < 0 ? FT_SIZE_REQUEST_TYPE_NOMINAL : FT_SIZE_REQUEST_TYPE_CELL, 0,
                               FT_Long(std::abs(height)) << 6, 0, 0};
    if (FT_Request_Size(face, &request) != 0) {
        error = "cannot size " + family;
        return false;
    }
    return true;
}

bool Font::open(std::string& error)
{
    FT_Library library = nullptr;
    if (FT_Init_FreeType(&library) != 0) {
        error = "FreeType does not start";
        return false;
    }
    m_library.reset(library);
    std::u16string_view face_name(reinterpret_cast<const char16_t*>(m_desc.FaceName),
                                  std::find(m_desc.FaceName, m_desc.FaceName + 32, u'\0') - m_desc.FaceName);
    if (!open_face(plat::fontconfig_family(face_name), m_face, m_embolden, error)) return false;
    FT_Face face = m_face.get();
    m_ascent = int((face->size->metrics.ascender + 63) >> 6);
    m_line_height = m_ascent + int((-face->size->metrics.descender + 63) >> 6);
    return true;
}

// Characters the face lacks (Chinese in a Latin face) come from the CJK face, as Windows links fonts.
FT_Face Font::face_for(char32_t code, bool& embolden)
{
    embolden = m_embolden;
    if (FT_Get_Char_Index(m_face.get(), code) != 0) return m_face.get();
    if (!m_fallback_tried) {
        m_fallback_tried = true;
        std::string error;
        if (!open_face(plat::fontconfig_family(u"SimSun"), m_fallback, m_fallback_embolden, error)) m_fallback.reset();
    }
    if (m_fallback && FT_Get_Char_Index(m_fallback.get(), code) != 0) {
        embolden = m_fallback_embolden;
        return m_fallback.get();
    }
    return m_face.get();
}

HRESULT Font::create(IDirect3DDevice9* device, const D3DXFONT_DESCW& desc, ID3DXFont** font)
{
    plat::ComPtr<Font> made = plat::ComPtr<Font>::adopt(new Font(device, desc));
    std::string error;
    if (!made->open(error)) {
        plat::debug_log("d3dx: font not made: " + error);
        return E_FAIL;
    }
    *font = made.detach();
    return D3D_OK;
}

Glyph& Font::glyph(char32_t code)
{
    auto found = m_glyphs.find(code);
    if (found != m_glyphs.end()) return found->second;
    Glyph& g = m_glyphs[code];
    bool embolden = false;
    FT_Face face = face_for(code, embolden);
    if (code < 0x20 || FT_Load_Char(face, code, FT_LOAD_DEFAULT) != 0) return g;   // controls take no room
    FT_GlyphSlot slot = face->glyph;
    if (embolden) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    g.advance = int((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.width == 0 || bitmap.rows == 0) return g;
    g.width = int(bitmap.width);
    g.height = int(bitmap.rows);
    g.coverage.resize(std::size_t(g.width) * g.height);
    for (int y = 0; y < g.height; ++y)
        std::copy_n(bitmap.buffer + y * bitmap.pitch, g.width, g.coverage.data() + std::size_t(y) * g.width);
    return g;
}

IDirect3DTexture9* Font::texture_of(Glyph& g)
{
    if (g.texture || g.coverage.empty()) return g.texture.get();
    if (FAILED(m_device->CreateTexture(UINT(g.width), UINT(g.height), 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                       g.texture.put(), nullptr)))
        return nullptr;
    D3DLOCKED_RECT locked{};
    g.texture->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < g.height; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < g.width; ++x) row[x] = g.coverage[std::size_t(y) * g.width + x] * 0x01010101u;   // premultiplied white
    }
    g.texture->UnlockRect(0);
    return g.texture.get();
}

void Font::lay_out(std::u16string_view text, DWORD format)
{
    Layout& out = m_layout;
    out.placed.clear();
    out.line_ends.clear();
    out.widths.assign(1, 0);
    int tab = glyph(U'0').advance * 8;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 && text[i + 1] < 0xe000)
            code = 0x10000 + ((code - 0xd800) << 10) + (text[++i] - 0xdc00);
        if (!(format & DT_SINGLELINE) && (code == U'\n' || code == U'\r')) {
            if (code == U'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            out.line_ends.push_back(out.placed.size());
            out.widths.push_back(0);
            continue;
        }
        int& pen = out.widths.back();
        if (code == U'\t' && (format & DT_EXPANDTABS) && tab > 0) {
            pen = (pen / tab + 1) * tab;
            continue;
        }
        Glyph& g = glyph(code);
        out.placed.push_back(Placed{&g, pen});
        pen += g.advance;
    }
    out.line_ends.push_back(out.placed.size());
}

void Font::draw_lines(ID3DXSprite* sprite, const RECT& rect, DWORD format, D3DCOLOR color)
{
    const Layout& layout = m_layout;
    int total = int(layout.lines()) * m_line_height;
    int top = rect.top;
    if (format & DT_VCENTER) top = rect.top + (rect.bottom - rect.top - total) / 2;
    else if (format & DT_BOTTOM) top = rect.bottom - total;
    // An empty rectangle places text but cannot clip it.
    bool clip = !(format & DT_NOCLIP) && rect.right > rect.left && rect.bottom > rect.top;
    // The colour is straight; glyph coverage stands for premultiplied white, so the modulation colour must be premultiplied too.
    DWORD a = color >> 24;
    auto pm = [a](DWORD c) { return (c * a + 127) / 255; };
    D3DCOLOR modulate = a << 24 | pm(color >> 16 & 0xff) << 16 | pm(color >> 8 & 0xff) << 8 | pm(color & 0xff);
    std::size_t begin = 0;
    for (std::size_t n = 0; n < layout.lines(); begin = layout.line_ends[n], ++n) {
        int left = rect.left;
        if (format & DT_CENTER) left = rect.left + (rect.right - rect.left - layout.widths[n]) / 2;
        else if (format & DT_RIGHT) left = rect.right - layout.widths[n];
        int baseline = top + int(n) * m_line_height + m_ascent;
        m_run.clear();
        m_run_glyphs.clear();
        for (std::size_t i = begin; i < layout.line_ends[n]; ++i) {
            const Placed& p = layout.placed[i];
            const Glyph& g = *p.glyph;
            if (g.coverage.empty()) continue;
            RECT src{0, 0, g.width, g.height};
            int x = left + p.x + g.left, y = baseline - g.top;
            if (clip) {
                src.left += std::max(0, int(rect.left) - x);
                src.top += std::max(0, int(rect.top) - y);
                src.right -= std::max(0, x + g.width - int(rect.right));
                src.bottom -= std::max(0, y + g.height - int(rect.bottom));
                if (src.left >= src.right || src.top >= src.bottom) continue;
            }
            m_run.push_back(plat::raster::Coverage{g.coverage.data() + std::size_t(src.top) * g.width + src.left, g.width,
                                                   int(src.right - src.left), int(src.bottom - src.top),
                                                   x + int(src.left), y + int(src.top)});
            m_run_glyphs.push_back(p.glyph);
        }
        if (!m_run.empty() && !plat::draw_glyph_run(sprite, m_run.data(), m_run.size(), modulate))
            draw_glyphs(sprite, m_run.data(), m_run.size(), modulate);
    }
}

// Glyph by glyph through the sprite, for transforms a run cannot take.
void Font::draw_glyphs(ID3DXSprite* sprite, const plat::raster::Coverage* run, std::size_t count, D3DCOLOR color)
{
    for (std::size_t i = 0; i < count; ++i) {
        Glyph& g = *m_run_glyphs[i];
        IDirect3DTexture9* texture = texture_of(g);
        if (texture == nullptr) continue;
        auto offset = std::size_t(run[i].bits - g.coverage.data());
        LONG left = LONG(offset % std::size_t(g.width)), top = LONG(offset / std::size_t(g.width));
        RECT src{left, top, left + run[i].width, top + run[i].height};
        D3DXVECTOR3 at{float(run[i].x), float(run[i].y), 0.0f};
        sprite->Draw(texture, &src, nullptr, &at, color);
    }
}

INT Font::DrawTextW(ID3DXSprite* sprite, LPCWSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR color)
{
    if (text == nullptr || rect == nullptr) return 0;
    std::size_t length = count < 0 ? std::char_traits<char16_t>::length(text) : std::size_t(count);
    // Held while drawing too: the layout buffers are reused. The device's lock is only ever taken inside this one.
    std::scoped_lock hold(m_lock);
    lay_out(std::u16string_view(text, length), format);
    int total = int(m_layout.lines()) * m_line_height;
    if (format & DT_CALCRECT) {
        rect->right = rect->left + *std::max_element(m_layout.widths.begin(), m_layout.widths.end());
        rect->bottom = rect->top + total;
        return total;
    }
    plat::ComPtr<ID3DXSprite> own;
    if (sprite == nullptr) {
        D3DXCreateSprite(m_device.get(), own.put());
        own->Begin(D3DXSPRITE_ALPHABLEND);
        sprite = own.get();
    }
    draw_lines(sprite, *rect, format, color);
    if (own) own->End();
    return total;
}

}

HRESULT D3DXCreateFontIndirectW(IDirect3DDevice9* device, const D3DXFONT_DESCW* desc, ID3DXFont** font)
{
    if (device == nullptr || desc == nullptr || font == nullptr) return D3DERR_INVALIDCALL;
    *font = nullptr;
    return Font::create(device, *desc, font);
}
