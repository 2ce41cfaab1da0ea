#pragma once
// Fonts as the text widgets measure them, and the text drawing record.

#include "toolkit/render/Geometry.h"

#include "platform/base/Types.h"
#include "platform/com/ComPtr.h"

#include <string>

struct ID3DXFont;

namespace RenderEngine {

class font {
public:
    font() = default;
    virtual ~font() = default;
    font(const font&) = delete;
    font& operator=(const font&) = delete;

    virtual float CharWidth(WCHAR c);
    virtual UI::fpoint CharExtent(WCHAR c);
    virtual int GetKind() const { return 203; }
    virtual void ReleaseDeviceObject() {}
};

class d3dfont : public font {
public:
    // Takes its own reference; a null font measures 0 and draws nothing.
    explicit d3dfont(ID3DXFont* font);
    ~d3dfont() override;

    float CharWidth(WCHAR c) override;
    UI::fpoint CharExtent(WCHAR c) override;
    int GetKind() const override { return 203; }
    void ReleaseDeviceObject() override;
    // After a device reset: the new Direct3D font (a reference is taken), so
    // styles that point at this font keep working.
    void RestoreDeviceObject(ID3DXFont* font);

    ID3DXFont* GetD3DXFont() const { return m_font.get(); }

private:
    plat::ComPtr<ID3DXFont> m_font;
};

struct fontstyle {
    DWORD format{0};          // DT_ flags
    DWORD color{0};           // ARGB
    std::string fontname;
    font* pfont{nullptr};     // not owned
    float scalex{1};
    float scaley{1};
};

}
