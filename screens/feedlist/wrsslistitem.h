#pragma once
// One row of the feed item list: a copy of one item, shown by its
// description view inside a margin, with a favourite, a remove and a
// download button, an "offline" picture for an item that cannot be played
// and a "prefetched" icon. The row is drawn only once its view has reported
// its size. Its buttons and clicks reach the list as "listitem_click" with
// the button's code (0 for the row itself).

#include "components/common/feeddb/RSSData.h"
#include "toolkit/controls/wlistitem.h"

namespace UI {

class feedlistLogic;
class wbtn;
class wie;
class wimage;
class wselectbtn;

// The codes a row's buttons report.
inline constexpr intptr_t RemoveCode = 107;
inline constexpr intptr_t DownloadCode = 108;
inline constexpr intptr_t FavoriteCode = 111;

class wrsslistitem : public wlistitem {
public:
    wrsslistitem(std::string name, feedlistLogic* logic);

    // Replaces the row's item and its description view.
    void SetItem(const RSSData::tRSSItem& item);
    void SetRead(bool read);
    void ShowPrefetchedIcon();
    void SetHighlighted(bool on);
    // Fires "listitem_click" for the row itself.
    void Click();

    const RSSData::tRSSItem& GetItem() const { return m_record; }
    wie* GetContent() const { return m_content; }
    wbtn* GetRemoveButton() const { return m_remove; }
    bool IsLoaded() const { return m_loaded; }
    bool IsHighlighted() const;
    // The item may be played: the controller allows every item or its quality passes.
    bool IsPlayable() const;
    // The thumbnail's rectangle in the row's coordinates.
    frect GetThumbnailRect() const;

    void OnMouseMove(MouseEventArgs& e) override;
    // The list decides between a click and a scroll: a press is left to it.
    void OnMouseDown(MouseEventArgs& e) override;
    void Draw() override;

private:
    void Build(const RSSData::tRSSItem& item);
    bool OnButton(EventArgs& e);
    bool OnContentLoaded(EventArgs& e);
    void PlacePrefetchedIcon();

    feedlistLogic* m_logic;
    wbtn* m_remove;
    wimage* m_prefetched{nullptr};   // children; null until first shown
    wimage* m_offline;
    wbtn* m_download;
    wselectbtn* m_favorite;
    bool m_loaded{false};
    wie* m_content{nullptr};
    wimage* m_background{nullptr};
    wimage* m_highlight{nullptr};
    RSSData::tRSSItem m_record;
    float m_margin{6};
};

}
