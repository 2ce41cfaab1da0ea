#pragma once
// The settings window (UI id 92): four pages behind four tabs (general,
// feeds, playback and download, prefetch), Cancel and Apply. Each page shows
// values of HKCU "Software\Corvalen\Strimo" (and the settings object's
// folders); Apply writes the open page and tells the parts of the program
// that use them; switching tabs or Cancel reloads the open page from the
// registry, dropping what was not applied.
//
// Built and clicked on the UI thread. BrowseFolder runs on the logic thread
// (the folder chooser waits for the user); it only sets a field's text,
// which wtext keeps under its own lock.

#include "toolkit/widgets/window.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace UI {

class settingsLogic;
class wbtn;
class wprogress;
class wselectbtn;
class wtext;

class wsettingpage : public window {
public:
    enum Page { General = 0, Feeds = 1, PlaybackDownload = 2, Prefetch = 3, PageCount = 4 };
    // The UI commands of the two folder buttons, which come back to BrowseFolder.
    static constexpr int CommandBrowseCache = 39;
    static constexpr int CommandBrowseDownload = 40;

    // A message box for a refused folder; the default is MessageBoxW owned by the main window.
    using Notice = std::function<void(const std::u16string& text, const std::u16string& caption)>;

    explicit wsettingpage(std::string name);
    ~wsettingpage() override;

    // Builds the tabs, pages and buttons inside the window's current size and
    // shows page 0 as stored. Once, after the window has its size.
    void Create();
    // Not owned; null: the parts of the program are not told (values are still
    // stored). The prefetch page then shows the prefetch manager's state.
    void SetLogic(settingsLogic* logic);
    void SetNotice(Notice notice) { m_notice = std::move(notice); }

    // UI commands 39 (cache folder) and 40 (download folder): the desktop's
    // folder chooser opens at the field's folder; a folder on a fixed drive
    // goes into the field, any other choice is refused with a message and the
    // field keeps its text. Cancel changes nothing. Other ids do nothing.
    void BrowseFolder(int command);
    // The prefetch page from the prefetch manager's state and "PrefetchMyFavorites".
    void RefreshPrefetchPage();

    int GetCurrentPage() const { return m_current_page; }
    // Reloads the open page from the registry.
    void Revert();
    // Writes the open page and tells the parts that use it.
    void Apply();
    // Deletes the files directly inside the cache folder (settings path 1),
    // then clears every item's status and has the feed list re-marked. False,
    // deleting nothing, when the folder is empty, a root or not a folder.
    bool Clean();
    // The usage bar and text of `folder`, or of settings path 1 when empty.
    void RefreshCacheUsage(const std::string& folder = {});

private:
    struct Controls;

    bool OnSelectClicked(EventArgs& e);
    bool OnButtonClicked(EventArgs& e);
    void BuildGeneralPage(window& page);
    void BuildFeedsPage(window& page);
    void BuildPlaybackPage(window& page);
    void BuildPrefetchPage(window& page);
    void ShowPage(int page);
    void RunShowHide();
    void RevertGeneral();
    void RevertFeeds();
    void RevertPlayback();
    void ApplyGeneral();
    void ApplyFeeds();
    void ApplyPlayback();
    void ApplyPrefetch();
    void SetFavouritesEnabled(bool enabled);
    void ShowRefusal();

    std::unique_ptr<Controls> m_controls;   // the children, owned by the tree
    settingsLogic* m_logic{nullptr};
    Notice m_notice;
    int m_current_page{General};   // UI thread
};

}
