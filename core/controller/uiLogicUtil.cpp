// The controller's small operations: thumbnail names, the feed database and
// the open tree node's list kept in step with a row's marks, dragging a feed
// item to the download pane, the favourite button and the quality filter.

#include "core/controller/uiLogicState.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "outside/bind/BindID.h"
#include "platform/base/Utf.h"
#include "platform/com/ComPtr.h"
#include "platform/d3d9/D3DX.h"
#include "platform/d3d9/Direct3D.h"
#include "platform/fs/Files.h"
#include "playback/downloads/uiLogicdownload.h"
#include "prefetch/IPrefechManager.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/feedlist/wie.h"
#include "screens/feedlist/wrsslistitem.h"
#include "screens/video/wcontrolbar.h"
#include "screens/widgets/wdragwindow.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/resmgr/d3dresMgr.h"
#include "toolkit/widgets/MouseEventArgs.h"

#include <algorithm>
#include <list>
#include <vector>

namespace UI {

using namespace controller_widgets;

namespace {

constexpr std::size_t LongestTail = 64;
constexpr long DragDistanceSquared = 100;

// The part of a picture address a file name may keep: after the last "/",
// only letters, digits, '.', '-' and '_' (so no "..", no separators, no
// control characters), at most the last 64 of them, and never only dots.
std::string safe_tail(const std::string& address)
{
    const std::size_t slash = address.find_last_of('/');
    const std::string tail = slash == std::string::npos ? address : address.substr(slash + 1);
    std::string kept;
    for (const char c : tail) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '-' || c == '_';
        if (plain)
            kept += c;
    }
    while (kept.find("..") != std::string::npos)
        kept.erase(kept.find(".."), 1);
    if (kept.size() > LongestTail)
        kept.erase(0, kept.size() - LongestTail);
    if (std::all_of(kept.begin(), kept.end(), [](char c) { return c == '.'; }))
        kept.clear();
    return kept;
}


}

std::string ThumbnailFileName(const std::string& image_folder, const std::string& picture_address)
{
    BindID::IBindIDManager* ids = BindID::IBindIDManager::GetBindIDManager();
    const BindID::tBindID id = ids->GetBindID(picture_address.c_str(), nullptr);
    std::string folder = image_folder;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder + std::to_string(id.first) + std::to_string(id.second) + safe_tail(picture_address);
}

bool SaveThumbnailCut(IDirect3DDevice9* device, IDirect3DSurface9* source, RECT picture, const std::string& path)
{
    const UINT width = UINT(picture.right - picture.left), height = UINT(picture.bottom - picture.top);
    if (!device || !source || picture.right <= picture.left || picture.bottom <= picture.top)
        return false;
    IDirect3DTexture9* made = nullptr;
    if (FAILED(D3DXCreateTexture(device, width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &made)))
        return false;
    const auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(made);
    IDirect3DSurface9* level = nullptr;
    if (FAILED(texture->GetSurfaceLevel(0, &level)))
        return false;
    const auto target = plat::ComPtr<IDirect3DSurface9>::adopt(level);
    const RECT cut{picture.left + 2, picture.top + 2, picture.right + 2, picture.bottom + 2};
    if (FAILED(D3DXLoadSurfaceFromSurface(target.get(), nullptr, nullptr, source, nullptr, &cut, D3DX_FILTER_NONE, 0)))
        return false;
    return SUCCEEDED(D3DXSaveTextureToFileW(plat::utf8_to_utf16(path).c_str(), D3DXIFF_JPG, texture.get(), nullptr));
}

bool uiLogic::grab_thumbnail(wrsslistitem& row, RSSData::tRSSItem& item)
{
    d3dresMgr* resources = d3dresMgr::Instance();
    wie* content = row.GetContent();
    if (!resources || !content || item.media_thumbnail_url.empty())
        return false;
    // The stored item, not the row's copy: the prefetch manager may have
    // fetched its picture (and changed more) since the row was filled.
    RSSData::tRSSItem stored = item;
    if (m_database_open) {
        std::list<RSSData::tRSSItem> found;
        CRSSDBMgr::Instance().GetItems(item.id, &found);
        if (!found.empty())
            stored = found.front();
    }
    // A picture already on disk (fetched ahead, or grabbed before) stays the
    // item's: its page shows that very file, and a second file under another
    // name would leave the row unable to find its thumbnail.
    if (!stored.local_thumb_file_path.empty() && FileExists(stored.local_thumb_file_path)) {
        item.local_thumb_file_path = stored.local_thumb_file_path;
        return false;
    }
    const auto device = plat::ComPtr<IDirect3DDevice9>::adopt(resources->GetDevice());
    const auto picture = plat::ComPtr<IDirect3DTexture9>::adopt(content->GetPictureTexture());
    if (!device || !picture)
        return false;
    IDirect3DSurface9* level = nullptr;
    if (FAILED(picture->GetSurfaceLevel(0, &level)))
        return false;
    const auto source = plat::ComPtr<IDirect3DSurface9>::adopt(level);
    const frect place = content->GetThumbnailRect();
    const RECT rect{LONG(place.x), LONG(place.y), LONG(place.x + place.width), LONG(place.y + place.height)};
    const std::string name = ThumbnailFileName(m_parts.image_folder, item.media_thumbnail_url);
    if (!SaveThumbnailCut(device.get(), source.get(), rect, name))
        return false;
    item.local_thumb_file_path = stored.local_thumb_file_path = name;
    if (m_database_open)
        CRSSDBMgr::Instance().UpdateItem(stored);
    return true;
}

bool DragThresholdPassed(POINT press, POINT now)
{
    const long dx = now.x - press.x, dy = now.y - press.y;
    return dx * dx + dy * dy > DragDistanceSquared;
}

bool uiLogic::AllowsAllItems() const { return m_parts.feed_window && m_parts.feed_window->AllowsAllItems(); }

bool uiLogic::MatchesQualityFilter(const RSSData::tRSSItem& item) const
{
    return UI::MatchesQualityFilter(item, m_hd_only ? HighDefinitionOnly::Yes : HighDefinitionOnly::No);
}

// Clean resets every stored status, so the rows' copies are read again
// (before taking the widget lock) and rebuilt: a row shows itself offline
// or playable by the filter, and one that passes shows its prefetched icon.
int uiLogic::RefreshItemQualityMarks()
{
    std::vector<RSSData::tRSSItem> shown;
    {
        CMutexGuard widgets(UIRenderMutex());
        if (wrsslist* rows = feed_list())
            for (int i = 0; i < rows->GetItemCount(); ++i)
                shown.push_back(rows->GetItem(i)->GetItem());
    }
    if (m_database_open) {
        for (RSSData::tRSSItem& item : shown) {
            std::list<RSSData::tRSSItem> stored;
            if (item.id > 0 && CRSSDBMgr::Instance().GetItems(item.id, &stored) == 0 && !stored.empty())
                item.set_status(stored.front().status());
        }
    }
    CMutexGuard widgets(UIRenderMutex());
    wrsslist* rows = feed_list();
    if (!rows)
        return 0;
    const int count = std::min(rows->GetItemCount(), int(shown.size()));
    for (int i = 0; i < count; ++i) {
        if (rows->GetItem(i)->GetItem().id != shown[std::size_t(i)].id)
            continue;   // the page changed meanwhile
        rows->SetItemAt(i, shown[std::size_t(i)]);
        if (MatchesQualityFilter(shown[std::size_t(i)]))
            rows->GetItem(i)->ShowPrefetchedIcon();
    }
    return rows->GetItemCount();
}

// Writes the three marks; for the open tree node's list (kind 3 without a
// channel) the stored item takes them and the node's copy follows.
void uiLogic::write_marks(const RSSData::tRSSItem& item)
{
    if (!m_database_open)
        return;
    CRSSDBMgr& db = CRSSDBMgr::Instance();
    const FeedListState list = m_parts.feed_window ? m_parts.feed_window->ShownList() : FeedListState{};
    if (list.kind == 3 && list.channel < 0) {
        std::list<RSSData::tRSSItem> found;
        db.GetItemByLink(item.link, &found);
        for (RSSData::tRSSItem stored : found) {
            stored.mark_read = item.mark_read;
            stored.mark_favorite = item.mark_favorite;
            stored.mark_delete = item.mark_delete;
            db.UpdateItem(stored);
        }
        sync_tree_node_marks(item);
        return;
    }
    db.UpdateItem(item);
}

void uiLogic::sync_tree_node_marks(const RSSData::tRSSItem& item)
{
    if (!m_parts.feed_window)
        return;
    auto node = m_parts.feed_window->TreeNodeItems();
    const auto it = std::find_if(node.begin(), node.end(), [&](const auto& i) { return i.link == item.link; });
    if (it == node.end())
        return;
    it->mark_read = item.mark_read;
    it->mark_favorite = item.mark_favorite;
    it->mark_delete = item.mark_delete;
    m_parts.feed_window->SetTreeNodeItems(std::move(node));
}

void uiLogic::drop_from_tree_node(const RSSData::tRSSItem& item)
{
    if (!m_parts.feed_window)
        return;
    auto node = m_parts.feed_window->TreeNodeItems();
    const auto it = std::find_if(node.begin(), node.end(), [&](const auto& i) { return i.link == item.link; });
    if (it == node.end())
        return;
    node.erase(it);
    m_parts.feed_window->SetTreeNodeItems(std::move(node));
}

// Under UIRenderMutex.
void uiLogic::set_drag_picture(const RSSData::tRSSItem& item, bool asked)
{
    auto* drag = dynamic_cast<wdragwindow*>(by_id(Ids::DragWindow));
    if (!drag || (!asked && !drag->IsVisible()) || item.media_thumbnail_url.empty())
        return;
    if (!item.local_thumb_file_path.empty())
        drag->SetImage(item.local_thumb_file_path);
    else
        drag->ShowDefaultImage();
}

void uiLogic::OnRSSItemMouseDown(wrsslistitem* row, MouseEventArgs& e)
{
    if (!row)
        return;
    const RSSData::tRSSItem& item = row->GetItem();
    if (!AllowsAllItems() && !MatchesQualityFilter(item))
        return;
    DragState& drag = *m_drag;
    drag = {true, false, {LONG(e.position.x), LONG(e.position.y)}, item};
    const FeedListState list = m_parts.feed_window ? m_parts.feed_window->ShownList() : FeedListState{};
    if (list.kind == 3 && list.channel < 0)
        write_marks(item);
    grab_thumbnail(*row, drag.item);
}

namespace {

// The pointer (client coordinates) is over the download pane of the right-hand window.
bool over_download_pane(POINT p)
{
    const widget* pane = by_id(Ids::DownloadPane);
    if (!pane || !pane->IsVisible() || (pane->GetParent() && !pane->GetParent()->IsVisible()))
        return false;
    const fpoint origin = pane->GetScreenOrigin();
    const float x = float(p.x) - origin.x, y = float(p.y) - origin.y;
    return x >= 0 && y >= 0 && x < pane->GetWidth() && y < pane->GetHeight();
}

}

void uiLogic::OnRSSItemMouseMove(wrsslistitem*, MouseEventArgs& e)
{
    DragState& drag = *m_drag;
    const POINT now{LONG(e.position.x), LONG(e.position.y)};
    auto* window = dynamic_cast<wdragwindow*>(by_id(Ids::DragWindow));
    if (drag.armed && DragThresholdPassed(drag.press, now)) {
        drag.armed = false;
        drag.dragging = true;
        if (window) {
            window->Show(true);
            set_drag_picture(drag.item, true);
            window->SetPos(float(now.x) - window->GetWidth() / 2, float(now.y) - window->GetHeight() / 2);
        }
        if (m_download_logic)
            m_download_logic->FindItemIndex(drag.item);
    }
    if (window && window->IsVisible())
        window->SetTarget(now.x, now.y);
    if (drag.dragging && m_download_logic && over_download_pane(now))
        m_download_logic->ScrollToCurrent();
}

// Only a drag that ends over a pane queues the item: over the download pane
// it downloads, over the device pane it goes to the device; a press on a
// picture that never moved, or a drop anywhere else, queues nothing.
void uiLogic::OnRSSItemMouseUp(wrsslistitem*, MouseEventArgs& e)
{
    DragState& drag = *m_drag;
    const POINT at{LONG(e.position.x), LONG(e.position.y)};
    const bool dragged = drag.dragging;
    const bool dropped = dragged && over_download_pane(at);
    if (dragged)
        if (widget* window = by_id(Ids::DragWindow))
            window->Show(false);
    drag.armed = drag.dragging = false;
    if (dropped && m_download_logic)
        m_download_logic->FocusCurrentItem(&drag.item);
    if (dragged)
        DropOnDevicePane(drag.item, at);
}

void uiLogic::PostLogicCommand(int command, std::intptr_t data) { PostLogicCommand(UINT(command), WPARAM(data), 0); }

// The control bar's favourite button, for the playing item.
void uiLogic::SetPlayingItemFavorite(bool favorite)
{
    RSSData::tRSSItem item;
    {
        std::scoped_lock hold(m_display->lock);
        const DWORD mode = m_display->mode & DisplayMode::Mask;
        if (mode != DisplayMode::PlayVideo && mode != DisplayMode::Both)
            return;
        m_display->cursor.item.mark_favorite = favorite;
        item = m_display->cursor.item;
    }
    if (favorite && m_prefetch)
        m_prefetch->Wake();
    if (m_database_open && item.id > 0)
        CRSSDBMgr::Instance().UpdateItem(item);
    if (m_parts.feed_window)
        m_parts.feed_window->RefreshItem(item);
}

void uiLogic::ShowWarningPage(int page)
{
    if (m_parts.feed_window)
        m_parts.feed_window->ShowWarningPage(page);
}

}
