#pragma once
// For the feed updater's and the search's tests: a feed site on 127.0.0.1
// whose feeds the test sets (any other path answers 404), the real parser
// modules registered in a temporary registry, and the runtime folder of the
// named mutexes pointed at a temporary folder.

#include "platform/net/testing/LoopbackServer.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/script/testing/ModuleTesting.h"

#include <map>
#include <mutex>
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

class FeedSite {
public:
    FeedSite();
    void serve(const std::string& path, const std::string& body);
    std::string url(const std::string& path) const { return m_server.url(path); }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_server.port); }
    // The targets (path and query, as sent) of the requests so far, in order.
    std::vector<std::string> requests() const;

private:
    mutable std::mutex m_lock;
    std::map<std::string, std::string> m_feeds;   // guarded by m_lock
    std::vector<std::string> m_requests;          // guarded by m_lock
    plat::LoopbackServer<> m_server;      // last: stops before the feeds go
};

// Registers the script engine, the script host and the feed parser, and
// makes a temporary runtime folder. Keep one alive for the whole test.
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

}
