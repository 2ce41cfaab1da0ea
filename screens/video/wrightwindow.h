#pragma once
// The right-hand side of the main window ("window-right"): foldable panes
// stacked one under the other, as an accordion (a click on a pane's title
// toggles it and folds every other pane). The builder places it against
// the right edge, 199 wide.

#include "toolkit/widgets/window.h"

#include <vector>

namespace UI {

class wtitlewindow;

class wrightwindow : public window {
public:
    wrightwindow();

    // Builds "window-mydownload" and "window-syncdevice" (shown only when
    // HKCU "EnableIPOD" is non-zero), each with its title bar and list, 199 wide.
    void CreatePanes();
    // Appends the pane (a child from now on) below the others.
    void AddPane(wtitlewindow* pane);
    const std::vector<wtitlewindow*>& Panes() const { return m_panes; }
    // Each pane at the sum of the stack heights above it.
    void Stack();
    // No pane taller than the window less 5 px (its list follows the pane's
    // height); then the panes are stacked again.
    void ClampContent();
    void OnSizeChanged() override;

private:
    bool OnTitleClick(EventArgs& e);
    bool OnPaneSizeChange(EventArgs& e);
    bool Holds(const widget* pane) const;

    std::vector<wtitlewindow*> m_panes;   // children, in stacking order
};

}
