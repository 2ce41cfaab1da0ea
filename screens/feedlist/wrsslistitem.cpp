#include "screens/feedlist/wrsslistitem.h"

#include "screens/feedlist/feedlistLogic.h"
#include "screens/feedlist/wie.h"
#include "screens/feedlist/wrsslist.h"

#include "platform/window/Cursor.h"
#include "toolkit/controls/wbtn.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"

namespace UI {

wrsslistitem::wrsslistitem(std::string name, feedlistLogic* logic)
    : wlistitem(std::move(name)),
      m_logic(logic),
      m_remove(new wbtn("wimage-rsslistitem-removeafile")),
      m_offline(new wimage("wimage-offline")),
      m_download(new wbtn("wimage-rsslistitem-downloadafile")),
      m_favorite(new wselectbtn("wselectbtn_addtofavorite", 3))
{
    m_remove->SetSkinByName("removeafile");
    AddChild(m_remove);
    m_remove->SetPosRule(2, 1, 11, 9);

    auto* normal = new wimage("addtofavorite_normal");
    auto* chosen = new wimage("addtofavorite_highlight");
    for (wimage* state : {normal, chosen}) {
        state->SetPicture(state->GetName());
        state->SetMouseTransparent(true);
        state->SetSizeRule(2, 2, -1, -1);
        m_favorite->AddChild(state);
    }
    m_favorite->SetStateImages(normal, chosen);
    m_favorite->SetSize(23, 19);
    m_favorite->SetZOrder(700);
    AddChild(m_favorite);
    m_favorite->SetPosRule(2, 1, 32, 9);
    m_favorite->SetSelected(false);

    m_download->SetSkinByName("btndownload");
    AddChild(m_download);
    m_download->SetPosRule(2, 1, 60, 9);

    m_offline->SetPicture("offlinebg");
    m_offline->SetMouseTransparent(true);
    AddChild(m_offline);
    m_offline->SetSizeRule(3, 3, 12, 12);
    m_offline->SetPosRule(1, 1, 6, 6);
    m_offline->Show(false);

    m_remove->GetEvent("button_clicked", true)->Subscribe(&wrsslistitem::OnButton, this);
    m_download->GetEvent("button_clicked", true)->Subscribe(&wrsslistitem::OnButton, this);
    m_favorite->GetEvent("selectbtn_clicked", true)->Subscribe(&wrsslistitem::OnButton, this);
}

// Rows are refreshed from the logic thread and the download manager's event
// thread while the compose thread draws them and the UI thread writes their
// pages: the old view goes and the new one is wired to the row in one hold,
// so the new page's first "IE_update" finds the row listening.
void wrsslistitem::SetItem(const RSSData::tRSSItem& item)
{
    CMutexGuard hold(UIRenderMutex());
    if (m_content) {
        RemoveChild(m_content);
        delete m_content;
        m_content = nullptr;
    }
    Build(item);
}

void wrsslistitem::Build(const RSSData::tRSSItem& item)
{
    if (m_prefetched) m_prefetched->Show(false);
    m_record = item;
    m_content = new wie("");
    m_content->SetLogic(m_logic);
    m_content->SetThumbnail(m_record.media_thumbnail_url, m_record.local_thumb_file_path);
    m_content->Load(m_record.display_description, m_record.mark_read);
    const bool playable = IsPlayable();
    m_offline->Show(!playable);
    m_download->Show(playable);
    m_loaded = false;
    m_favorite->SetSelected(m_record.mark_favorite);
    SetSize(m_content->GetContentSize().x, m_content->GetContentSize().y);
    // Under the buttons and pictures that sit on the page's corner.
    m_content->SetZOrder(100);
    AddChild(m_content);
    m_content->SetPosRule(1, 1, m_margin, m_margin);
    if (!m_background) {
        m_background = AddImageAt("wimage_rssitembackground", "videonormalbg", 0, 0, 8, 8, 8, 8);
        m_highlight = AddImageAt("wimage_rssitemhighlight", "videofocusbg", 0, 0, 8, 8, 8, 8);
        for (wimage* frame : {m_background, m_highlight}) {
            frame->SetSizeRule(2, 2, -1, -1);
            frame->SetZOrder(0);
            frame->SetMouseTransparent(true);
        }
        m_highlight->Show(false);
    }
    m_content->GetEvent("IE_update", true)->Subscribe(&wrsslistitem::OnContentLoaded, this);
}

bool wrsslistitem::IsPlayable() const
{
    return m_logic && (m_logic->AllowsAllItems() || m_logic->MatchesQualityFilter(m_record));
}

void wrsslistitem::SetRead(bool read) { m_record.mark_read = read; }

frect wrsslistitem::GetThumbnailRect() const
{
    if (!m_content) return {0, 0, 0, 0};
    const frect thumb = m_content->GetThumbnailRect();
    return {thumb.x + m_content->GetX(), thumb.y + m_content->GetY(), thumb.width, thumb.height};
}

void wrsslistitem::ShowPrefetchedIcon()
{
    if (!m_prefetched) {
        m_prefetched = new wimage("wimage-prefetched");
        m_prefetched->SetPicture("icon_prefetchfinish");
        m_prefetched->SetMouseTransparent(true);
        m_prefetched->SetZOrder(1000);
        AddChild(m_prefetched);
    }
    PlacePrefetchedIcon();
    m_prefetched->Show(true);
    UpdateLayout();
}

// On the thumbnail's lower left corner, wherever the page placed it.
void wrsslistitem::PlacePrefetchedIcon()
{
    const frect thumb = GetThumbnailRect();
    m_prefetched->SetPosRule(1, 1, thumb.x + 5, thumb.y + thumb.height - 20);
}

void wrsslistitem::SetHighlighted(bool on)
{
    if (!m_highlight) return;
    m_highlight->Show(on);
    m_background->Show(!on);
    Invalidate();
}

bool wrsslistitem::IsHighlighted() const { return m_highlight && m_highlight->IsVisible(); }

void wrsslistitem::Click()
{
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.reserved = 0;
    FireEvent("listitem_click", clicked);
}

bool wrsslistitem::OnButton(EventArgs& e)
{
    ValueEventArgs clicked;
    clicked.sender = this;
    clicked.reserved = e.sender == m_remove ? RemoveCode : e.sender == m_download ? DownloadCode : FavoriteCode;
    FireEvent("listitem_click", clicked);
    return true;
}

bool wrsslistitem::OnContentLoaded(EventArgs&)
{
    m_loaded = true;
    const fpoint size = m_content->GetContentSize();
    m_content->SetPosRule(1, 1, m_margin, m_margin);
    m_content->SetSizeRule(0, 0, size.x, size.y);
    m_content->SetSize(size.x, size.y);
    SetSize(size.x + 2 * m_margin, size.y + 2 * m_margin);
    // The icon may have been shown before the page was laid out (a refreshed
    // row is marked at once): it follows the picture to its place.
    if (m_prefetched && m_prefetched->IsVisible()) PlacePrefetchedIcon();
    UpdateLayout();
    if (auto* list = dynamic_cast<wrsslist*>(GetParent())) list->Relayout();
    return false;
}

// Over the thumbnail of a playable item the pointer is a hand.
void wrsslistitem::OnMouseMove(MouseEventArgs& e)
{
    const fpoint origin = GetScreenOrigin();
    const frect thumb = GetThumbnailRect();
    const float x = e.position.x - origin.x, y = e.position.y - origin.y;
    const bool over = x >= thumb.x && y >= thumb.y && x < thumb.x + thumb.width && y < thumb.y + thumb.height;
    SetCursor(LoadCursorW(nullptr, over && IsPlayable() ? IDC_HAND : IDC_ARROW));
    e.cursor_set = 1;
}

void wrsslistitem::OnMouseDown(MouseEventArgs&) {}

void wrsslistitem::Draw()
{
    if (m_loaded) wlistitem::Draw();
}

}
