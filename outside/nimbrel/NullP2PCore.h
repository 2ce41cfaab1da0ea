#pragma once
// The peer-to-peer core the downloader gets by default: it knows no peers.
// Its items take their set-up but refuse to start, so a download that asks
// for a peer-to-peer source goes on with its HTTP sources alone.

#include "outside/nimbrel/Nimbrel.h"

#include <deque>
#include <memory>
#include <mutex>

class tNullP2PItem;

class tNullP2PCore : public tBaseObject<IDownloadCore, IP2PSettings> {
public:
    tNullP2PCore();
    ~tNullP2PCore() override;

    BaseResult CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept override;
    BaseResult DeleteDownloadItem(ICorvaDownloadItem* item) noexcept override;

    BaseResult ApplySettings(const tP2PSettings&) noexcept override { return RESULT_OK; }
    BaseResult SetSharedContent(const tP2PContent&, int) noexcept override { return RESULT_OK; }
    BaseResult AnnounceContent(const tP2PContent&) noexcept override { return RESULT_OK; }
    BaseResult EnableSharing(int) noexcept override { return RESULT_OK; }

private:
    std::mutex m_lock;
    std::deque<std::unique_ptr<tNullP2PItem>> m_items;   // guarded by m_lock
};
