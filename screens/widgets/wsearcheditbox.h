// The search box of the top frame: a text field beside a search button on a
// rounded background, a highlighted background while the field has the
// focus, and a prompt over the empty field ("Search YouTube") or, while the
// program is offline, the offline text. Enter in the field reports a click
// of the search button, so the controller handles both alike.
#pragma once

#include "toolkit/widgets/window.h"

namespace UI {
class wbtn;
class wimage;
class wtext;
}

class wsearcheditbox : public UI::window {
public:
    explicit wsearcheditbox(std::string name);

    // Builds the children at 155 x 19 and registers the button (224) and the field (225).
    void Setup();
    // Offline, the field gives up the focus and the offline text covers it.
    void SetOnline(bool online);
    bool IsOnline() const { return m_online; }
    UI::wtext* GetTextField() const { return m_text; }
    UI::wbtn* GetSearchButton() const { return m_button; }

protected:
    void DrawChildren() override;

private:
    bool OnInputFinish(UI::EventArgs& e);
    UI::wtext* MakePrompt(const char* name, int text_id);

    UI::wtext* m_text{nullptr};             // children, made by Setup
    UI::wtext* m_prompt{nullptr};
    UI::wtext* m_offline{nullptr};
    UI::wbtn* m_button{nullptr};
    UI::wimage* m_background{nullptr};
    UI::wimage* m_highlight{nullptr};
    bool m_online{true};
};
