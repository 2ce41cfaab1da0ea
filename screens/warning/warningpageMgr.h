#pragma once
// The one-line pages the feed list area shows instead of items: five
// warnings with an OK button (16 failed playback, 17 no new clips, 18 no
// favourites, 19 no recent clips, 20 nothing found) and two hints on how to
// fill a folder (21 my channels, 22 search), each with a "Don't ask me next
// time." box. Made once, shown one at a time by page id.

#include "platform/base/Types.h"
#include "toolkit/widgets/window.h"

#include <functional>
#include <string>
#include <vector>

namespace UI {
struct EventArgs;
}

class wwarningpage : public UI::window {
public:
    wwarningpage(std::string name, int page_id);

    int GetPageId() const { return m_page_id; }
    // Shows the page growing from half its size about its centre.
    void ShowAnimated();

private:
    int m_page_id;
};

// What the pages need of the controller, given by it.
struct warningpageHost {
    std::function<DWORD()> get_display_mode;
    std::function<void(DWORD)> set_display_mode;
    // The id of the page whose button was clicked.
    std::function<void(int)> on_result;
};

class warningpageMgr {
public:
    static constexpr int FailedPlayback = 16, NoNewClip = 17, NoFavoriteClip = 18, NoRecentClip = 19,
                         NoSearchClip = 20, MyChannelPrompt = 21, SearchPrompt = 22;

    explicit warningpageMgr(warningpageHost host);
    // Takes the pages out of the widget tree and frees them.
    ~warningpageMgr();
    warningpageMgr(const warningpageMgr&) = delete;
    warningpageMgr& operator=(const warningpageMgr&) = delete;

    // Once, under UIRenderMutex, after the widget tree exists: the pages go
    // into the list area hidden; the hints and their add button and check
    // boxes are registered under their UI ids (82, 81, 90, 88, 89).
    void CreatePages();
    // False, hiding nothing, when no page has the id.
    bool ShowPage(int id, bool animate);
    // Hiding the failed-playback page also hides the video window in display
    // modes 2 and 8, and returns mode 2 to mode 1.
    void HideAll();
    // Null when no page has the id.
    wwarningpage* FindPage(int id) const;
    const std::vector<wwarningpage*>& Pages() const { return m_pages; }

private:
    wwarningpage* AddPage(wwarningpage* page);
    bool OnButton(UI::EventArgs& e);

    warningpageHost m_host;
    std::vector<wwarningpage*> m_pages;   // creation order; the widget tree owns them while they are in it
};
