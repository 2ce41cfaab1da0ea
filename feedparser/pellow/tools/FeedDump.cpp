// pellow-dump FILE...: reads each feed file through ParseRSS, served from a
// feed site on 127.0.0.1 as the program would fetch it, and prints one JSON
// line per file: its name, the result, and every channel and item property
// that holds something. What a feed gives can be seen, and compared with
// what it should give, without a test around it.

#include "feedparser/pellow/PellowLib.h"
#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/automation/Variant.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/fs/Files.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char16_t* channel_properties[] = {
    u"title", u"link", u"description", u"language", u"copyright", u"managingEditor", u"webMaster", u"pubDate",
    u"lastBuildDate", u"category", u"category_domain", u"generator", u"docs", u"cloud", u"ttl", u"image_title",
    u"image_link", u"image_url", u"image_width", u"image_height", u"rating", u"textInput_name", u"textInput_title",
    u"textInput_description", u"textInput_link", u"skipHours", u"skipDays"};

constexpr const char16_t* item_properties[] = {
    u"title", u"link", u"description", u"author", u"source", u"source_url", u"category", u"category_domain",
    u"comments", u"enclosure_url", u"enclosure_length", u"enclosure_type", u"pubDate", u"guid", u"guid_isPermaLink",
    u"media_content_url", u"media_content_type", u"media_content_duration", u"media_title", u"media_description",
    u"media_keywords", u"media_thumbnail_url", u"media_category", u"media_credit", u"media_player",
    u"original_description"};

std::string json_text(const std::string& text)
{
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// The object's properties that hold something, as a JSON object.
std::string properties_of(IDispatch* object, const std::vector<const char16_t*>& names)
{
    std::string out = "{";
    for (const char16_t* name : names) {
        LPOLESTR wanted = const_cast<LPOLESTR>(name);
        DISPID id = 0;
        plat::Variant value;
        DISPPARAMS none{};
        if (FAILED(object->GetIDsOfNames(GUID_NULL, &wanted, 1, 0, &id)) ||
            FAILED(object->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, value.get(), nullptr, nullptr)) ||
            value->vt != VT_BSTR)
            continue;
        const std::string text = plat::bstr_to_utf8(value->bstrVal);
        if (text.empty())
            continue;
        if (out.size() > 1)
            out += ',';
        out += json_text(plat::utf16_to_utf8(name)) + ":" + json_text(text);
    }
    return out + "}";
}

std::string dump(IRSSParser* parser, const std::string& url)
{
    plat::Bstr address = plat::Bstr::from_utf8(url);
    plat::ComPtr<IRSSChannel> channel;
    const HRESULT hr = parser->ParseRSS(address.get(), 0, channel.put());
    char result[16];
    std::snprintf(result, sizeof result, "0x%08x", static_cast<unsigned>(hr));
    std::string out = "\"result\":" + json_text(result);
    if (FAILED(hr) || !channel)
        return out;
    out += ",\"channel\":" + properties_of(channel.get(), {std::begin(channel_properties), std::end(channel_properties)});
    out += ",\"items\":[";
    LONG size = 0;
    channel->GetRSSItemSize(&size);
    for (LONG i = 0; i < size; ++i) {
        plat::ComPtr<IRSSItem> item;
        channel->GetRSSItem(i, item.put());
        if (i > 0)
            out += ',';
        out += item ? properties_of(item.get(), {std::begin(item_properties), std::end(item_properties)}) : "{}";
    }
    return out + "]";
}

}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: pellow-dump FEED.xml...\n");
        return 2;
    }
    feed_testing::ParserModules modules;
    if (!modules.registered()) {
        std::fprintf(stderr, "pellow-dump: the modules could not be registered\n");
        return 1;
    }
    feed_testing::FeedSite site;
    if (!feed_testing::set_feed_settings(site.host(), 10000)) {
        std::fprintf(stderr, "pellow-dump: the feed settings could not be written\n");
        return 1;
    }
    CoInitialize(nullptr);
    {
        plat::ComPtr<IRSSParser> parser;
        if (FAILED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, parser.put_void()))) {
            std::fprintf(stderr, "pellow-dump: no parser\n");
            CoUninitialize();
            return 1;
        }
        for (int i = 1; i < argc; ++i) {
            const plat::FileData file = plat::read_file(argv[i]);
            const std::string path = "/feed" + std::to_string(i);
            site.serve(path, file.bytes, "application/xml");
            std::printf("{\"file\":%s,%s}\n", json_text(argv[i]).c_str(),
                        file ? dump(parser.get(), site.url(path)).c_str() : "\"result\":\"unreadable\"");
        }
    }
    CoUninitialize();
    return 0;
}
