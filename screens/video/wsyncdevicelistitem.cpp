#include "screens/video/wsyncdevicelistitem.h"

#include "components/common/feeddb/RSSData.h"
#include "toolkit/controls/wtext.h"

#include "platform/base/Utf.h"

#include <array>

namespace UI {

namespace {

constexpr std::array<const char16_t*, 7> status_texts = {
    u"not start sync to ipod.", u"start sync to ipod.",    u"processing sync to ipod.",  u"finish sync to ipod.",
    u"failed sync to ipod.",    u"user cancel sync to ipod.", u"the file has beed synced.",
};

}  // namespace

std::u16string wsyncdevicelistitem::StatusText(std::int32_t status)
{
    return status >= 0 && std::size_t(status) < status_texts.size() ? status_texts[std::size_t(status)] : u"";
}

wsyncdevicelistitem::wsyncdevicelistitem()
{
    wtext* progress = Percent();
    progress->SetPos(72, 37);
    progress->SetSize(121, 16);
    progress->SetFont("font_a12");
    progress->SetTextFormat(4);
    progress->SetColor({205, 111, 83});
}

bool wsyncdevicelistitem::LoadItem(const ItemSyncRecord& record, CRSSDBMgr& db)
{
    RSSData::tRSSItem item;
    if (!ReadItem(db, record.id, item)) return false;
    m_sync = record;
    // The download side of the record decides the marks; the text under the
    // title tells the sync status, which is no percentage.
    SetRow(DownloadSide(record));
    SetContent(ThumbnailPicture(item.local_thumb_file_path), plat::utf8_to_utf16(item.title), record.download_percent);
    SetSyncStatus(record.sync_status);
    return true;
}

void wsyncdevicelistitem::SetSyncStatus(std::int32_t status)
{
    m_sync.sync_status = status;
    Percent()->SetText(StatusText(status).c_str());
    Percent()->Show(true);
    Invalidate();
}

ItemDownloadRecord wsyncdevicelistitem::DownloadSide(const ItemSyncRecord& record)
{
    ItemDownloadRecord download;
    download.id = record.id;
    download.type = record.type;
    download.status = record.download_status;
    download.percent = record.download_percent;
    download.total_size = record.total_size;
    return download;
}

void wsyncdevicelistitem::SetSyncRecord(const ItemSyncRecord& record)
{
    m_sync = record;
    const std::u16string shown = Percent()->GetText();
    SetRow(DownloadSide(record));
    Percent()->SetText(shown.c_str());
}

}
