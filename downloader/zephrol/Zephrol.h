#pragma once
// The download core of the library: owns the HTTP core and the peer-to-peer
// core, makes segment master items for its users, and passes the user's
// peer-to-peer settings on.

#include "downloader/zephrol/Interfaces.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class tVessikDownloadItem;

// How the core gets and frees its peer-to-peer core; the outside library's
// exports unless a test gives its own.
struct tP2PCoreFactory {
    std::function<IDownloadCore*(const char* user)> create;
    std::function<void(IDownloadCore* core)> destroy;
};

class tZephrol : public tBaseObject<IDownloadCore, IZephrolSet> {
public:
    explicit tZephrol(tP2PCoreFactory p2p);
    ~tZephrol() override;

    // IDownloadCore: segment master items.
    BaseResult CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept override;
    BaseResult DeleteDownloadItem(ICorvaDownloadItem* item) noexcept override;

    // IZephrolSet
    BaseResult SetParam(const tZephrolSettings* settings) noexcept override;
    BaseResult EnableP2P(bool on) noexcept override;

private:
    std::mutex m_lock;
    std::deque<std::unique_ptr<tVessikDownloadItem>> m_items;   // guarded by m_lock
    IDownloadCore* m_http_core{nullptr};
    IDownloadCore* m_p2p_core{nullptr};
    tP2PCoreFactory m_p2p_factory;
    bool m_p2p_enabled{false};   // guarded by m_lock
};
