// A row of the generic list: a list row that can be left undrawn, knows
// whether it is the selected one, and reports a mouse click with the click
// value 1 (a row chosen by Enter reports 0, which the list does not take as
// a selection).
#pragma once

#include "toolkit/controls/wlistitem.h"

namespace UI {

class wtlistitem : public wlistitem {
public:
    explicit wtlistitem(std::string name);

    void SetShown(bool shown);
    bool IsShown() const { return m_shown; }
    // Rows that show their selection override it.
    virtual void SetSelected(bool selected) { m_selected = selected; }
    bool IsSelected() const { return m_selected; }

protected:
    intptr_t ClickValue() const override { return 1; }

private:
    bool m_shown{true};
    bool m_selected{false};
};

}
