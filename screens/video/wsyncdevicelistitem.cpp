#include "screens/video/wsyncdevicelistitem.h"

#include "components/common/feeddb/RSSData.h"
#include "toolkit/controls/wtext.h"

#include "platform/base/Utf.h"

namespace UI {

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
    // The download side of the record decides the marks and the percentage;
    // the sync status is no percentage, so it is kept, not shown as one.
    SetRow(DownloadSide(record));
    SetContent(ThumbnailPicture(item.local_thumb_file_path), plat::utf8_to_utf16(item.title), record.download_percent);
    return true;
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
