#pragma once
// Searches of the video site, each on a thread of its own through the feed
// parser's RSSSearch. Each search ends by posting its SearchRequest to the
// logic thread as command 20 (WM_USER + 20, the request in wParam), whatever
// its result; the receiver owns the request from then on.

#include "components/common/feeddb/RSSData.h"
#include "feedparser/pellow/PellowLib.h"
#include "platform/com/ComPtr.h"

#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CSearchLauncher;

struct SearchRequest {
    CSearchLauncher* launcher = nullptr;   // the launcher that made it
    std::string keyword;                   // UTF-8, URL-encoded
    std::string site_name;
    plat::ComPtr<IRSSChannel> channel;     // null when the search failed
    std::list<RSSData::tRSSItem> items;    // in feed order; empty when it failed
};

class CSearchLauncher {
public:
    static constexpr UINT ResultCommand = 20;   // the logic command of a search result

    // Results go to the thread queue of logic_thread_id.
    explicit CSearchLauncher(DWORD logic_thread_id);
    // Cancels the feed transfers of the searches still running (they end within
    // about a second, not at their time-out) and waits for them, so none posts
    // after its owner is gone.
    ~CSearchLauncher();
    CSearchLauncher(const CSearchLauncher&) = delete;
    CSearchLauncher& operator=(const CSearchLauncher&) = delete;

    // Returns at once; the search runs on its own thread.
    void StartSearch(const std::u16string& keyword, const std::string& site_name);

    // The search itself, on the calling thread (COM initialised): the items not
    // yet in the database (id 0, channel and folder -1), and the channel when asked.
    static bool SearchRSS(const std::string& keyword, const std::string& site_name,
                          std::list<RSSData::tRSSItem>& items, plat::ComPtr<IRSSChannel>* channel);

private:
    struct Search {
        std::thread thread;
        DWORD thread_id = 0;     // guarded by m_lock; 0 until the thread runs
        bool finished = false;   // guarded by m_lock
    };

    void search(Search* slot, std::unique_ptr<SearchRequest> request) noexcept;
    void reap_finished();

    const DWORD m_logic_thread;

    std::mutex m_lock;
    std::list<Search> m_searches;   // guarded by m_lock; each thread is joined by this object
    bool m_closing = false;         // guarded by m_lock: set by the destructor
};
