// The small tooltip window: one line of text on the "tipsbg" nine-grid, as
// wide as its text.
#pragma once

#include "toolkit/widgets/window.h"

namespace UI {

class wtip : public window {
public:
    explicit wtip(std::string name);

    // Measured by the next draw, which sizes the tip to it.
    void SetText(const WCHAR* text) override;
    std::u16string GetText() const override;

    void Draw() override;

private:
    wimage* m_background;
    wtext* m_text;
    bool m_stand_in{false};   // the skin has no tip picture: the information field stands in
};

}
