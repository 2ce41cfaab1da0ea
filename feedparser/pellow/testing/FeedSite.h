#pragma once
// For the tests and the benchmark of everything that reads feeds (the parser,
// the feed updater, the search): a feed site on 127.0.0.1 serving what the
// test gives it, the real parser modules registered in a temporary registry,
// and the feed settings the parser reads.

#include "platform/base/Types.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/script/testing/ModuleTesting.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace feed_testing {

struct FeedItem {
    std::string title;
    std::string link;
    std::string media_url;   // empty: the item has no media:content
};

// An RSS 2.0 document of the items, in order.
std::string feed_xml(const std::vector<FeedItem>& items);
// n items "Video <i>" with links and media addresses.
std::vector<FeedItem> numbered_items(int n);

// Answers the paths it was given (the query is not looked at); any other path answers 404.
class FeedSite {
public:
    FeedSite();
    // Lets every held transfer go, so the server can stop.
    ~FeedSite();
    FeedSite(const FeedSite&) = delete;
    FeedSite& operator=(const FeedSite&) = delete;

    void serve(const std::string& path, const std::string& body,
               const std::string& content_type = "application/rss+xml");
    // Answers path with its headers and the start of a feed, then holds the
    // transfer open without sending more until release() or the site goes.
    void stall(const std::string& path);
    // Ends every held transfer (their clients see the body cut off).
    void release();

    std::string url(const std::string& path) const { return m_server.url(path); }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_server.port); }
    // The targets (path and query, as sent) of the requests so far, in order.
    std::vector<std::string> requests() const;
    // Waits up to a minute for a request for path; false when none came.
    bool wait_for_request(const std::string& path);

private:
    struct Reply {
        std::string body;
        std::string content_type;
        bool stalls = false;
    };
    void answer(const httplib::Request& request, httplib::Response& response);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;        // a request came, or held transfers may end
    std::map<std::string, Reply> m_replies;   // guarded by m_lock
    std::vector<std::string> m_requests;      // guarded by m_lock
    bool m_released = false;                  // guarded by m_lock
    plat::LoopbackServer<> m_server;          // last: stops before the replies go
};

// Registers the script engine, the script host and the feed parser in a
// temporary registry, and makes a temporary runtime folder for the named
// mutexes. Keep one alive for the whole test.
class ParserModules {
public:
    ParserModules();
    bool registered() const { return m_registered; }
    const std::string& folder() const { return m_folder.path(); }

private:
    plat::TemporaryRegistry m_registry;
    plat::TempFolder m_folder;
    plat::ScopedEnvironment m_runtime{"STRIMO_RUNTIME_DIR", m_folder.path().c_str()};
    bool m_registered = false;
};

// The parser's feed host ("FeedHost") and fetch time-out ("FeedTimeout", ms)
// in the user's settings; what is not given stays as it was. False when the
// settings key cannot be made.
bool set_feed_settings(const std::optional<std::string>& host, std::optional<DWORD> timeout_ms);

}
