// A single line of text in a skin font: measured when set, drawn whole or,
// in ellipsis mode, cut with "..." where it would not fit. The logic thread
// may set the text while the compose thread draws it, so the text lives under
// a lock of its own and is handed out as a copy; measuring and invalidating
// take the UI render lock.
//
// An editable field keeps a caret and a selection under the same lock: the UI
// thread types while the compose thread draws. Indexes are clamped to the
// text's length wherever they are used, as a text set from elsewhere may
// shrink under them.
#pragma once

#include "toolkit/widgets/widget.h"

#include <mutex>
#include <string>
#include <utility>

namespace RenderEngine {
class picture;
}

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
    fcolor GetColor() const { return m_colour; }
    void SetTextFormat(int format) { m_format = format; }
    // Editing also makes the field focusable.
    void SetEditable(bool editable);
    bool IsEditable() const { return m_editable; }
    void SetEllipsis(bool on) { m_ellipsis = on; }
    // Left and Right no longer move the caret.
    void SetArrowsLocked(bool locked) { m_arrows_locked = locked; }
    // Inner space on the left and on the right of the text.
    void SetMargin(int margin) { m_margin = margin; }
    // Drawn behind the text over the whole field, by whether it has the focus; either may be null.
    void SetBackgrounds(RenderEngine::picture* focused, RenderEngine::picture* normal)
    {
        m_focus_background = focused;
        m_normal_background = normal;
    }
    int GetCaret() const;
    // Start and end as set (the end may lie before the start).
    std::pair<int, int> GetSelection() const;
    void SetSelection(int start, int end);
    fpoint GetTextSize() const { return {m_text_width, m_text_height}; }

    void OnMouseEnter() override {}
    void OnMouseDown(MouseEventArgs& e) override;
    void OnMouseMove(MouseEventArgs& e) override;
    void OnMouseUp(MouseEventArgs& e) override;
    // Inserts a printable character at the caret; false when not editable.
    bool OnChar(ValueEventArgs& e) override;
    // Backspace, Enter ("wtext_input_finish"), the arrows, Delete; with Control
    // held, c and x copy the selection and v pastes at its start.
    void OnKey(ValueEventArgs& e) override;
    void SetFocus() override;
    void Draw() override;

private:
    DWORD PackedColour() const;
    void DrawEllipsis(const std::u16string& text, const frect& area);
    void DrawEditing(const frect& area);
    // The caret index under a client x: the first character whose right edge passes it.
    int IndexAt(float x) const;
    // Measures the text just changed and invalidates the field.
    void TextChanged();
    void Insert(char16_t c);
    void Copy() const;
    void Paste();

    mutable std::mutex m_text_lock;
    std::u16string m_text;         // guarded by m_text_lock
    // Editing state, guarded by m_text_lock.
    int m_caret{0};
    int m_selection_start{0};
    int m_selection_end{0};
    bool m_selecting{false};
    bool m_caret_shown{false};     // set by a click or SetFocus: no caret before

    std::string m_font{"font_s16"};
    fcolor m_colour{255, 255, 255};
    int m_format{0};               // DT_ flags
    float m_text_width{0};
    float m_text_height{0};
    bool m_editable{false};
    bool m_ellipsis{false};
    bool m_arrows_locked{false};
    RenderEngine::picture* m_focus_background{nullptr};    // the resource manager's
    RenderEngine::picture* m_normal_background{nullptr};
    int m_margin{0};
    bool m_relayout{false};        // guarded by m_text_lock; a deferred text waits for the next draw to measure
};

}
