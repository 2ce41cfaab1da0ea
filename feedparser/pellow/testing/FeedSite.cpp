#include "feedparser/pellow/testing/FeedSite.h"

#include "components/common/regutil/ProgramKey.h"
#include "platform/base/Utf.h"
#include "platform/registry/Registry.h"

#include <chrono>

namespace feed_testing {

namespace {

constexpr auto patience = std::chrono::seconds(60);

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

const char* const feed_start = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss/\">\n"
                               "<channel><title>Test feed</title><link>http://www.example.com/</link>"
                               "<description>for tests</description>\n";

}

std::string feed_xml(const std::vector<FeedItem>& items)
{
    std::string xml = feed_start;
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
        answer(request, response);
    });
    m_server.start();
}

FeedSite::~FeedSite()
{
    release();
}

void FeedSite::release()
{
    std::scoped_lock hold(m_lock);
    m_released = true;
    m_changed.notify_all();
}

void FeedSite::answer(const httplib::Request& request, httplib::Response& response)
{
    Reply reply;
    {
        std::scoped_lock hold(m_lock);
        m_requests.push_back(request.target);
        m_changed.notify_all();
        const auto found = m_replies.find(request.path);
        if (found == m_replies.end()) {
            response.status = 404;
            return;
        }
        reply = found->second;
    }
    if (!reply.stalls) {
        response.set_content(reply.body, reply.content_type);
        return;
    }
    response.set_chunked_content_provider(reply.content_type, [this](std::size_t offset, httplib::DataSink& sink) {
        if (offset == 0)
            return sink.write(feed_start, std::char_traits<char>::length(feed_start));
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [this] { return m_released; });
        return false;
    });
}

void FeedSite::serve(const std::string& path, const std::string& body, const std::string& content_type)
{
    std::scoped_lock hold(m_lock);
    m_replies[path] = Reply{body, content_type, false};
}

void FeedSite::stall(const std::string& path)
{
    std::scoped_lock hold(m_lock);
    m_replies[path] = Reply{{}, "application/rss+xml", true};
}

std::vector<std::string> FeedSite::requests() const
{
    std::scoped_lock hold(m_lock);
    return m_requests;
}

bool FeedSite::wait_for_request(const std::string& path)
{
    std::unique_lock hold(m_lock);
    return m_changed.wait_for(hold, patience, [&] {
        for (const std::string& target : m_requests)
            if (target.substr(0, target.find('?')) == path)
                return true;
        return false;
    });
}

ParserModules::ParserModules()
    : m_registered(plat::register_modules(STRIMO_REGSVR, {SCRIPT_MODULE, FELDANE_MODULE, PELLOW_MODULE}))
{
}

bool set_feed_settings(const std::optional<std::string>& host, std::optional<DWORD> timeout_ms)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    if (host) {
        const std::u16string text = plat::utf8_to_utf16(*host);
        RegSetValueExW(key, u"FeedHost", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
    }
    if (timeout_ms)
        RegSetValueExW(key, u"FeedTimeout", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*timeout_ms), sizeof(DWORD));
    RegCloseKey(key);
    return true;
}

}
