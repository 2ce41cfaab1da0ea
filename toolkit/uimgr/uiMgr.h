// The process's one UI manager: it owns the main window's widget tree and
// routes input into it and draws it. Only its instance and the tree's root
// exist yet; the input routing and drawing come with the window layer.
#pragma once

namespace UI {

class window;

class uiMgr {
public:
    static uiMgr& Instance();

    uiMgr(const uiMgr&) = delete;
    uiMgr& operator=(const uiMgr&) = delete;

    // The tree's root window "root", set by the widget tree builder; null until then.
    // Read and set on the UI thread.
    window* GetRoot() const { return m_root; }
    void SetRoot(window* root) { m_root = root; }

private:
    uiMgr() = default;

    window* m_root{nullptr};   // not owned: the builder's tree
};

}
