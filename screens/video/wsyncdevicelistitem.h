#pragma once
// One row of the device pane: an item queued for or copied to the device,
// laid out as a download row (thumbnail, title) with its progress text under
// the title, where the sync logic's stage texts ("Transcoding      40%") fit.
// A device row carries no quality mark.

#include "screens/video/wdownloadlistitem.h"

namespace UI {

class wsyncdevicelistitem : public wdownloadlistitem {
public:
    wsyncdevicelistitem();

    // Keeps a copy of the record and fills the row from its item: thumbnail
    // (or "black_image"), title, download percentage. False, changing
    // nothing, when the database has no such item.
    bool LoadItem(const ItemSyncRecord& record, CRSSDBMgr& db);
    const ItemSyncRecord& SyncRecord() const { return m_sync; }
    // A new state of the row's download or sync; the text under the title
    // stays, since the sync logic writes its stage texts there.
    void SetSyncRecord(const ItemSyncRecord& record);

private:
    static ItemDownloadRecord DownloadSide(const ItemSyncRecord& record);

    ItemSyncRecord m_sync;
};

}
