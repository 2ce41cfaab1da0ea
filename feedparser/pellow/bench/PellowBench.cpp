// Parses each of two 200-item feeds served on 127.0.0.1 100 times through
// ParseRSS, and 100 times with a plain libxml2 reader that fetches the same
// feed with libcurl and extracts the same fields; prints both rates and their
// ratio. The feeds: the video site's own (Media RSS in media:group), and one
// written with undeclared HTML entities and Dublin Core fields. Then the time
// a new parser takes to set itself up.

#include "../tests/FeedFixtures.h"

#include "feedparser/pellow/PellowLib.h"
#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/registry/Registry.h"
#include "platform/script/testing/ModuleTesting.h"

#include <curl/curl.h>
#include <libxml/HTMLparser.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr int runs = 100;
constexpr int items_per_feed = 200;
constexpr const char* media_ns = "http://search.yahoo.com/mrss/";
constexpr const char* dc_ns = "http://purl.org/dc/elements/1.1/";

using Fields = std::map<std::string, std::string>;

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

std::string fetch(const std::string& url)
{
    std::string body;
    CURL* easy = curl_easy_init();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    return body;
}

std::string content(xmlNode* node)
{
    xmlChar* text = xmlNodeGetContent(node);
    std::string s = text ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return s;
}

std::string attribute(xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, BAD_CAST name);
    std::string s = value ? reinterpret_cast<const char*>(value) : "";
    xmlFree(value);
    return s;
}

bool is(xmlNode* node, const char* name, const char* ns = nullptr)
{
    if (node->type != XML_ELEMENT_NODE || std::strcmp(reinterpret_cast<const char*>(node->name), name) != 0)
        return false;
    const char* uri = node->ns ? reinterpret_cast<const char*>(node->ns->href) : nullptr;
    return ns ? uri && std::strcmp(uri, ns) == 0 : uri == nullptr;
}

void read_media(xmlNode* parent, Fields& f)
{
    for (xmlNode* m = parent->children; m; m = m->next) {
        if (is(m, "group", media_ns))
            read_media(m, f);
        else if (is(m, "content", media_ns)) {
            for (const char* a : {"url", "type", "medium", "isDefault", "expression", "duration"})
                f[std::string("media_content_") + a] = attribute(m, a);
        } else if (is(m, "thumbnail", media_ns) && !f.count("media_thumbnail_url")) {
            for (const char* a : {"url", "width", "height", "time"})
                f[std::string("media_thumbnail_") + a] = attribute(m, a);
        } else if (is(m, "title", media_ns)) {
            f["media_title"] = content(m);
        } else if (is(m, "keywords", media_ns)) {
            f["media_keywords"] = content(m);
        } else if (is(m, "category", media_ns)) {
            f["media_category"] = content(m);
            f["media_category_scheme"] = attribute(m, "scheme");
            f["media_category_label"] = attribute(m, "label");
        } else if (is(m, "player", media_ns)) {
            f["media_player"] = attribute(m, "url");
        }
    }
}

// Feeds use HTML's named entities without declaring them: each is declared
// as its character when first met, as the parser does.
xmlEntity* html_entity(void* context, const xmlChar* name)
{
    if (xmlEntity* declared = xmlSAX2GetEntity(context, name))
        return declared;
    xmlDoc* doc = static_cast<xmlParserCtxt*>(context)->myDoc;
    const htmlEntityDesc* html = htmlEntityLookup(name);
    if (!doc || !html || (!doc->intSubset && !xmlCreateIntSubset(doc, nullptr, nullptr, nullptr)))
        return nullptr;
    const std::string character = "&#" + std::to_string(html->value) + ";";
    return xmlAddDocEntity(doc, name, XML_INTERNAL_GENERAL_ENTITY, nullptr, nullptr, BAD_CAST character.c_str());
}

// Dublin Core stands in for the plain elements an item lacks.
void read_dublin_core(xmlNode* item, Fields& f)
{
    const struct { const char* element; const char* field; } stand_ins[] = {
        {"creator", "author"}, {"date", "pubDate"}, {"subject", "category"}};
    for (xmlNode* e = item->children; e; e = e->next)
        for (const auto& s : stand_ins)
            if (is(e, s.element, dc_ns) && !f.count(s.field))
                f[s.field] = content(e);
}

// The rival: the same fetch and the same fields, in plain C++ over libxml2.
std::size_t parse_with_libxml2(const std::string& url)
{
    const std::string body = fetch(url);
    xmlParserCtxt* parser = xmlNewParserCtxt();
    parser->sax->getEntity = html_entity;
    xmlDoc* doc = xmlCtxtReadMemory(parser, body.data(), static_cast<int>(body.size()), nullptr, "UTF-8",
                                    XML_PARSE_NONET | XML_PARSE_NOCDATA);
    xmlFreeParserCtxt(parser);
    std::vector<Fields> items;
    Fields channel;
    xmlNode* rss = doc ? xmlDocGetRootElement(doc) : nullptr;
    for (xmlNode* c = rss ? rss->children : nullptr; c; c = c->next) {
        if (!is(c, "channel"))
            continue;
        for (xmlNode* n = c->children; n; n = n->next) {
            if (!is(n, "item")) {
                if (n->type == XML_ELEMENT_NODE)
                    channel[reinterpret_cast<const char*>(n->name)] = content(n);
                continue;
            }
            Fields f;
            for (xmlNode* e = n->children; e; e = e->next)
                if (e->type == XML_ELEMENT_NODE && !e->ns)
                    f[reinterpret_cast<const char*>(e->name)] = content(e);
            read_dublin_core(n, f);
            read_media(n, f);
            items.push_back(std::move(f));
        }
    }
    xmlFreeDoc(doc);
    return items.size();
}

std::size_t parse_with_pellow(IRSSParser* parser, const std::string& url)
{
    plat::Bstr address = plat::Bstr::from_utf8(url);
    plat::ComPtr<IRSSChannel> channel;
    if (FAILED(parser->ParseRSS(address.get(), items_per_feed, channel.put())))
        return 0;
    LONG size = 0;
    channel->GetRSSItemSize(&size);
    return static_cast<std::size_t>(size);
}

double seconds_for(const std::function<std::size_t()>& parse, std::size_t& items)
{
    const auto start = std::chrono::steady_clock::now();
    items = 0;
    for (int i = 0; i < runs; ++i)
        items += parse();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}

int main()
{
    feed_testing::ParserModules modules;
    if (!modules.registered()) {
        std::fprintf(stderr, "pellow-bench: the modules could not be registered\n");
        return 1;
    }
    feed_testing::FeedSite server;
    const struct { const char* name; const char* path; std::string body; } feeds[] = {
        {"video site (Media RSS)", "/many", generated_feed(items_per_feed)},
        {"HTML entities and Dublin Core", "/entities", entities_and_dublin_core_feed(items_per_feed)},
    };
    for (const auto& feed : feeds)
        server.serve(feed.path, feed.body);
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CoInitialize(nullptr);
    int status = 0;
    {
        plat::ComPtr<IRSSParser> parser;
        if (FAILED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, parser.put_void()))) {
            std::fprintf(stderr, "pellow-bench: no parser\n");
            status = 1;
        }
        for (const auto& feed : feeds) {
            if (!parser)
                break;
            const std::string url = server.url(feed.path);
            std::size_t pellow_items = 0, rival_items = 0;
            const double pellow = seconds_for([&] { return parse_with_pellow(parser.get(), url); }, pellow_items);
            const double rival = seconds_for([&] { return parse_with_libxml2(url); }, rival_items);
            std::printf("%s: feed of %d items, %d runs each\n", feed.name, items_per_feed, runs);
            std::printf("  ParseRSS (script host)    : %8.2f feeds/s %10.0f items/s (%zu items)\n", runs / pellow,
                        static_cast<double>(pellow_items) / pellow, pellow_items);
            std::printf("  libxml2 reader (plain C++): %8.2f feeds/s %10.0f items/s (%zu items)\n", runs / rival,
                        static_cast<double>(rival_items) / rival, rival_items);
            std::printf("  ratio (libxml2 / ParseRSS): %.1f (ParseRSS at %.3fx)\n", pellow / rival, rival / pellow);
            if (pellow_items != rival_items)
                status = 1;
        }
        // What a caller that makes a parser per feed (the feed updater) pays on top.
        std::size_t made = 0;
        const double setup = seconds_for([&] {
            plat::ComPtr<IRSSParser> fresh;
            return SUCCEEDED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, fresh.put_void()))
                ? std::size_t{1} : std::size_t{0};
        }, made);
        std::printf("parser set-up (engine made, script decoded and compiled): %.2f ms each (%zu made)\n",
                    setup * 1000 / runs, made);
    }
    CoUninitialize();
    curl_global_cleanup();
    return status;
}
