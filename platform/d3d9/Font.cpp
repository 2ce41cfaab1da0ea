// The D3DX font over FreeType and fontconfig. Glyphs are rendered once into
// small managed textures (premultiplied white coverage) and drawn through a
// sprite, so sprite transforms and blend states apply to text as to pictures.

#include "platform/d3d9/D3DX.h"

#include "platform/com/ComObject.h"
#include "FontFaces.h"

#include "platform/base/DebugLog.h"
#include "platform/com/ComPtr.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

struct Glyph {
    plat::ComPtr<IDirect3DTexture9> texture;   // null for blank glyphs
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
    const Glyph* glyph;
    int x;   // pen position relative to the line start
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
    const Glyph& glyph(char32_t code);
    std::vector<std::vector<Placed>> lay_out(std::u16string_view text, DWORD format, std::vector<int>& widths);
    void draw_lines(ID3DXSprite* sprite, const std::vector<std::vector<Placed>>& lines, const std::vector<int>& widths,
                    const RECT& rect, DWORD format, D3DCOLOR color);

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

const Glyph& Font::glyph(char32_t code)
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
    if (FAILED(m_device->CreateTexture(bitmap.width, bitmap.rows, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                       g.texture.put(), nullptr)))
        return g;
    g.width = int(bitmap.width);
    g.height = int(bitmap.rows);
    D3DLOCKED_RECT locked{};
    g.texture->LockRect(0, &locked, nullptr, 0);
    for (int y = 0; y < g.height; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<unsigned char*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < g.width; ++x) {
            DWORD c = bitmap.buffer[y * bitmap.pitch + x];
            row[x] = c << 24 | c << 16 | c << 8 | c;   // premultiplied white
        }
    }
    g.texture->UnlockRect(0);
    return g;
}

std::vector<std::vector<Placed>> Font::lay_out(std::u16string_view text, DWORD format, std::vector<int>& widths)
{
    std::vector<std::vector<Placed>> lines(1);
    widths.assign(1, 0);
    int tab = glyph(U'0').advance * 8;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xd800 && code < 0xdc00 && i + 1 < text.size() && text[i + 1] >= 0xdc00 && text[i + 1] < 0xe000)
            code = 0x10000 + ((code - 0xd800) << 10) + (text[++i] - 0xdc00);
        if (!(format & DT_SINGLELINE) && (code == U'\n' || code == U'\r')) {
            if (code == U'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            lines.emplace_back();
            widths.push_back(0);
            continue;
        }
        int& pen = widths.back();
        if (code == U'\t' && (format & DT_EXPANDTABS) && tab > 0) {
            pen = (pen / tab + 1) * tab;
            continue;
        }
        const Glyph& g = glyph(code);
        lines.back().push_back(Placed{&g, pen});
        pen += g.advance;
    }
    return lines;
}

void Font::draw_lines(ID3DXSprite* sprite, const std::vector<std::vector<Placed>>& lines, const std::vector<int>& widths,
                      const RECT& rect, DWORD format, D3DCOLOR color)
{
    int total = int(lines.size()) * m_line_height;
    int top = rect.top;
    if (format & DT_VCENTER) top = rect.top + (rect.bottom - rect.top - total) / 2;
    else if (format & DT_BOTTOM) top = rect.bottom - total;
    // An empty rectangle places text but cannot clip it.
    bool clip = !(format & DT_NOCLIP) && rect.right > rect.left && rect.bottom > rect.top;
    // The colour is straight; glyph texels are premultiplied, so the modulation colour must be too.
    DWORD a = color >> 24;
    auto pm = [a](DWORD c) { return (c * a + 127) / 255; };
    D3DCOLOR modulate = a << 24 | pm(color >> 16 & 0xff) << 16 | pm(color >> 8 & 0xff) << 8 | pm(color & 0xff);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        int left = rect.left;
        if (format & DT_CENTER) left = rect.left + (rect.right - rect.left - widths[n]) / 2;
        else if (format & DT_RIGHT) left = rect.right - widths[n];
        int baseline = top + int(n) * m_line_height + m_ascent;
        for (const Placed& p : lines[n]) {
            const Glyph& g = *p.glyph;
            if (!g.texture) continue;
            RECT src{0, 0, g.width, g.height};
            int x = left + p.x + g.left, y = baseline - g.top;
            if (clip) {
                src.left += std::max(0, int(rect.left) - x);
                src.top += std::max(0, int(rect.top) - y);
                src.right -= std::max(0, x + g.width - int(rect.right));
                src.bottom -= std::max(0, y + g.height - int(rect.bottom));
                if (src.left >= src.right || src.top >= src.bottom) continue;
            }
            D3DXVECTOR3 at{float(x + src.left), float(y + src.top), 0.0f};
            sprite->Draw(g.texture.get(), &src, nullptr, &at, modulate);
        }
    }
}

INT Font::DrawTextW(ID3DXSprite* sprite, LPCWSTR text, INT count, RECT* rect, DWORD format, D3DCOLOR color)
{
    if (text == nullptr || rect == nullptr) return 0;
    std::size_t length = count < 0 ? std::char_traits<char16_t>::length(text) : std::size_t(count);
    std::vector<int> widths;
    std::vector<std::vector<Placed>> lines;
    {
        std::scoped_lock hold(m_lock);
        lines = lay_out(std::u16string_view(text, length), format, widths);
    }
    int total = int(lines.size()) * m_line_height;
    if (format & DT_CALCRECT) {
        rect->right = rect->left + *std::max_element(widths.begin(), widths.end());
        rect->bottom = rect->top + total;
        return total;
    }
    plat::ComPtr<ID3DXSprite> own;
    if (sprite == nullptr) {
        D3DXCreateSprite(m_device.get(), own.put());
        own->Begin(D3DXSPRITE_ALPHABLEND);
        sprite = own.get();
    }
    draw_lines(sprite, lines, widths, *rect, format, color);
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
