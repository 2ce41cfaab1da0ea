#pragma once
// The HTTP download core: maker and owner of HTTP download items, offered
// through the same IDownloadCore as the peer-to-peer core.

#include "downloader/zephrol/Interfaces.h"

#include <deque>
#include <memory>
#include <mutex>

class tHTTPDownloadItem;

class tHTTPDownloader : public tBaseObject<IDownloadCore> {
public:
    tHTTPDownloader();
    ~tHTTPDownloader() override;

    BaseResult CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept override;
    BaseResult DeleteDownloadItem(ICorvaDownloadItem* item) noexcept override;

private:
    std::mutex m_lock;
    std::deque<std::unique_ptr<tHTTPDownloadItem>> m_items;   // guarded by m_lock
};

// A new HTTP core held for the user "tZephrol"; null when it cannot be made.
// The caller destroys it with DeleteHTTPDownloader.
IDownloadCore* CreateHTTPDownloader() noexcept;
void DeleteHTTPDownloader(IDownloadCore* core) noexcept;
