#pragma once
// A feed server on 127.0.0.1 for the parser's tests and benchmark, with the
// fixtures it serves:
//   /ordinary   two items with every field the parser reads
//   /empty      a channel without items
//   /many       200 items
//   /entities   entities, CDATA and non-ASCII titles
//   /broken     XML cut in the middle
//   /atom       XML that is not RSS
//   /slow       the ordinary feed after 1.5 s
//   /feeds/base/videos...  (search and related videos) the ordinary feed
// Any other path answers 404. The last request's target is kept.

#include <memory>
#include <mutex>
#include <string>

namespace httplib { class Server; }
namespace plat { template <class Server> class LoopbackServer; }

std::string ordinary_feed();
// A feed of n generated items ("Video 0" ...), each with its media fields.
std::string generated_feed(int items);

class FeedServer {
public:
    FeedServer();
    ~FeedServer();
    FeedServer(const FeedServer&) = delete;
    FeedServer& operator=(const FeedServer&) = delete;

    std::string host() const;               // "127.0.0.1:port"
    std::string url(const std::string& path) const;
    std::string last_target() const;

private:
    mutable std::mutex m_lock;
    std::string m_last_target;   // guarded by m_lock
    std::unique_ptr<plat::LoopbackServer<httplib::Server>> m_site;   // last: stops before the rest goes
};
