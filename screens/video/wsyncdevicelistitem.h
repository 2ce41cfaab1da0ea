#pragma once
// One row of the device pane: an item queued for or copied to the device,
// laid out as a download row (thumbnail, title) with its state under the
// title: the sync status in words, or the sync logic's stage texts
// ("Transcoding      40%"). A device row carries no quality mark.

#include "screens/video/wdownloadlistitem.h"

#include <cstdint>
#include <string>

namespace UI {

class wsyncdevicelistitem : public wdownloadlistitem {
public:
    wsyncdevicelistitem();

    // The words of sync status 0 (not started) to 6 (already on the device);
    // empty for another value.
    static std::u16string StatusText(std::int32_t status);

    // Keeps a copy of the record and fills the row from its item: thumbnail
    // (or "black_image"), title, and the record's sync status in words; the
    // record's download side decides the marks. False, changing nothing,
    // when the database has no such item.
    bool LoadItem(const ItemSyncRecord& record, CRSSDBMgr& db);
    const ItemSyncRecord& SyncRecord() const { return m_sync; }
    // The record's sync status, and its words under the title.
    void SetSyncStatus(std::int32_t status);
    // A new state of the row's download or sync; the text under the title
    // stays, since the sync logic writes its stage texts there.
    void SetSyncRecord(const ItemSyncRecord& record);

private:
    static ItemDownloadRecord DownloadSide(const ItemSyncRecord& record);

    ItemSyncRecord m_sync;
};

}
