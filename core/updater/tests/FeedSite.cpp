#include "core/updater/tests/FeedSite.h"

namespace feed_testing {

namespace {

std::string escaped(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

}

std::string feed_xml(const std::vector<FeedItem>& items)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\">\n"
                      "<channel><title>Test feed</title><link>http://www.example.com/</link>"
                      "<description>for tests</description>\n";
    for (const auto& item : items) {
        xml += "<item><title>" + escaped(item.title) + "</title><link>" + escaped(item.link) + "</link>";
        if (!item.media_url.empty())
            xml += "<media:content url=\"" + escaped(item.media_url) + "\" type=\"video/x-flv\"/>";
        xml += "</item>\n";
    }
    return xml + "</channel></rss>";
}

std::vector<FeedItem> numbered_items(int n)
{
    std::vector<FeedItem> items;
    for (int i = 0; i < n; ++i) {
        const std::string name = std::to_string(i);
        items.push_back({"Video " + name, "http://www.example.com/watch?v=" + name, "http://media.example.com/" + name});
    }
    return items;
}

FeedSite::FeedSite()
{
    m_server.server.Get(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        std::scoped_lock hold(m_lock);
        m_requests.push_back(request.target);
        const auto found = m_feeds.find(request.path);
        if (found == m_feeds.end()) {
            response.status = 404;
            return;
        }
        response.set_content(found->second, "application/rss+xml");
    });
    m_server.start();
}

void FeedSite::serve(const std::string& path, const std::string& body)
{
    std::scoped_lock hold(m_lock);
    m_feeds[path] = body;
}

std::vector<std::string> FeedSite::requests() const
{
    std::scoped_lock hold(m_lock);
    return m_requests;
}

ParserModules::ParserModules()
    : m_registered(plat::register_modules(STRIMO_REGSVR, {SCRIPT_MODULE, FELDANE_MODULE, PELLOW_MODULE}))
{
}

}
