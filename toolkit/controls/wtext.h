// A single line of text in a skin font: measured when set, drawn whole or,
// in ellipsis mode, cut with "..." where it would not fit. The logic thread
// may set the text while the compose thread draws it, so the text lives under
// a lock of its own and is handed out as a copy; measuring and invalidating
// take the UI render lock.
#pragma once

#include "toolkit/widgets/widget.h"

#include <mutex>
#include <string>

namespace UI {

class wtext : public widget {
public:
    explicit wtext(std::string name);

    // Copies the text (null clears it), then measures and invalidates.
    void SetText(const WCHAR* text) override;
    // Deferred: the text is replaced now and measured by the next draw.
    void SetTextDeferred(const WCHAR* text, bool deferred);
    std::u16string GetText() const override;
    // Width and height of the text in its font; a widget of width or height 0 takes them.
    void Measure();
    // Measures a text set deferred, once.
    void LayoutIfPending();

    void SetFont(std::string font);
    void SetColor(fcolor colour);
    void SetTextFormat(int format) { m_format = format; }
    // Editing also makes the field focusable.
    void SetEditable(bool editable);
    bool IsEditable() const { return m_editable; }
    void SetEllipsis(bool on) { m_ellipsis = on; }
    fpoint GetTextSize() const { return {m_text_width, m_text_height}; }

    void OnMouseEnter() override {}
    void Draw() override;

private:
    DWORD PackedColour() const;
    void DrawEllipsis(const std::u16string& text, const frect& area);

    mutable std::mutex m_text_lock;
    std::u16string m_text;         // guarded by m_text_lock
    std::string m_font{"font_s16"};
    fcolor m_colour{255, 255, 255};
    int m_format{0};               // DT_ flags
    float m_text_width{0};
    float m_text_height{0};
    bool m_editable{false};
    bool m_ellipsis{false};
    bool m_relayout{false};        // guarded by m_text_lock; a deferred text waits for the next draw to measure
};

}
