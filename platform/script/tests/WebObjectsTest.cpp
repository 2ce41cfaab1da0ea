#include "TestSite.h"

#include "core/http/tests/TestKeys.h"
#include "platform/com/Com.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/script/ActiveScript.h"
#include "platform/sync/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace {

class LocalServer {
public:
    LocalServer()
    {
        m_site.server.Get("/feed", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<r agent=\"" + req.get_header_value("X-Test") + "\">caf\xC3\xA9</r>", "text/xml");
        });
        m_site.server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            res.set_content("late", "text/plain");
        });
        m_site.start();
    }
    std::string url(const char* path) const { return m_site.url(path); }

private:
    plat::LoopbackServer<> m_site;
};

}

TEST(XmlHttp, FetchesOverHttpAndReportsTheStatus)
{
    LocalServer server;
    EngineHarness h;
    h.allow_objects();
    const std::string script = "var x = new ActiveXObject('Microsoft.XMLHTTP');\n"
                               "x.open('GET', '" + server.url("/feed") + "', false);\n"
                               "x.setRequestHeader('X-Test', 'yes');\n"
                               "x.send();\n"
                               "var status = x.status, body = x.responseText;\n"
                               "x.open('GET', '" + server.url("/absent") + "', false); x.send();\n"
                               "var missing = x.status;";
    ASSERT_EQ(h.run(script.c_str()), S_OK);
    EXPECT_EQ(h.global(u"status"), "200");
    EXPECT_EQ(h.global(u"body"), "<r agent=\"yes\">caf\xC3\xA9</r>");
    EXPECT_EQ(h.global(u"missing"), "404");
}

TEST(XmlHttp, RefusesWhatItMustNotFetch)
{
    LocalServer server;
    const struct { const char* name; std::string script; const char* message; } cases[] = {
        {"a file address", "x.open('GET', 'file:///etc/passwd', false);", "only http and https"},
        {"an ftp address", "x.open('GET', 'ftp://127.0.0.1/', false);", "only http and https"},
        {"an asynchronous request", "x.open('GET', '" + server.url("/feed") + "', true);", "synchronous"},
        {"a header with a line break", "x.open('GET', '" + server.url("/feed") + "', false); x.setRequestHeader('A', 'b\\r\\nC: d');", "malformed"},
        {"a send before open", "x.send();", "open must come first"},
        {"a server slower than the time-out", "x.open('GET', '" + server.url("/slow") + "', false); x.timeout = 300; x.send();", "Timeout"},
        {"a closed port", "x.open('GET', 'http://127.0.0.1:1/', false); x.send();", "XMLHTTP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.allow_objects();
        const std::string script = "var x = new ActiveXObject('Microsoft.XMLHTTP');\n" + c.script;
        EXPECT_EQ(h.run(script.c_str()), SCRIPT_E_REPORTED);
        ASSERT_EQ(h.site->errors.size(), 1u);
        EXPECT_NE(h.site->errors[0].description.find(c.message), std::string::npos) << h.site->errors[0].description;
    }
}

TEST(XmlDom, ReadsNodesTextAndAttributesWithNamespacePrefixes)
{
    EngineHarness h;
    h.allow_objects();
    ASSERT_EQ(h.run("var d = new ActiveXObject('Microsoft.XMLDOM');\n"
                    "var ok = d.loadXML('<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                    "<rss xmlns:media=\"http://search.yahoo.com/mrss/\"><channel><title>T &amp; U</title>"
                    "<item><title><![CDATA[<b>bold</b>]]></title><media:thumbnail url=\"a.jpg\" media:x=\"1\"/></item>"
                    "<item><title>\u00e9t\u00e9</title></item></channel></rss>');\n"
                    "d.setProperty('SelectionNamespaces', \"xmlns:media='http://search.yahoo.com/mrss/'\");\n"
                    "var root = d.documentElement.nodeName;\n"
                    "var items = d.selectNodes('/rss/channel/item');\n"
                    "var count = items.length;\n"
                    "var first = items.item(0).selectSingleNode('title').text;\n"
                    "var second = items[1].selectSingleNode('title').text;\n"
                    "var thumb = items.item(0).selectSingleNode('media:thumbnail');\n"
                    "var url = thumb.getAttribute('url'), prefixed = thumb.getAttribute('media:x');\n"
                    "var absent = thumb.getAttribute('width') === null;\n"
                    "var none = d.selectSingleNode('/rss/nothing') === null;\n"
                    "var title = d.selectSingleNode('//channel/title').text;\n"
                    "var children = d.selectSingleNode('/rss/channel').childNodes.length;\n"
                    "d.loadXML('<other/>');\n"
                    "var kept = items.item(1).selectSingleNode('title').text;"),
              S_OK);
    EXPECT_EQ(h.global(u"ok"), "True");
    EXPECT_EQ(h.global(u"root"), "rss");
    EXPECT_EQ(h.global(u"count"), "2");
    EXPECT_EQ(h.global(u"first"), "<b>bold</b>");
    EXPECT_EQ(h.global(u"second"), "\u00e9t\u00e9");
    EXPECT_EQ(h.global(u"url"), "a.jpg");
    EXPECT_EQ(h.global(u"prefixed"), "1");
    EXPECT_EQ(h.global(u"absent"), "True");
    EXPECT_EQ(h.global(u"none"), "True");
    EXPECT_EQ(h.global(u"title"), "T & U");
    EXPECT_EQ(h.global(u"children"), "3");
    EXPECT_EQ(h.global(u"kept"), "\u00e9t\u00e9") << "nodes keep their own document";
}

TEST(XmlDom, BrokenTextFailsWithAParseError)
{
    // text: what a document that loads reads as; null: the text must not load.
    const struct { const char* input; const char* text; } cases[] = {
        {"<a><b></a>", nullptr},
        {"", nullptr},
        {"not xml at all", nullptr},
        {"<a>&undefined;</a>", "&undefined;"},   // an unknown entity name stays as text
        {"<a>x & y</a>", nullptr},               // a text handed in is read strictly; feeds are not
        {"<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>", ""},   // never read
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EngineHarness h;
        h.allow_objects();
        const std::string script = std::string("var d = new ActiveXObject('Microsoft.XMLDOM');\n"
                                               "var ok = d.loadXML('") + c.input + "');\n"
                                   "var code = d.parseError.errorCode, reason = d.parseError.reason;\n"
                                   "var root = d.documentElement === null;\n"
                                   "var text = ok ? d.documentElement.text : '';";
        ASSERT_EQ(h.run(script.c_str()), S_OK);
        if (h.global(u"ok") == "True") {
            ASSERT_NE(c.text, nullptr) << "loaded";
            EXPECT_EQ(h.global(u"text"), c.text);
            continue;
        }
        EXPECT_NE(h.global(u"code"), "0");
        EXPECT_NE(h.global(u"reason"), "");
        EXPECT_EQ(h.global(u"root"), "True");
    }
}

namespace {

std::string utf16le(std::string_view ascii)
{
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string utf32be(std::string_view ascii)
{
    std::string out;
    for (char c : ascii)
        out += std::string(3, '\0') + c;
    return out;
}

// A site on 127.0.0.1 answering "/<n>" with the n-th body and its content type.
void serve_numbered(plat::LoopbackServer<>& site,
                    std::function<std::pair<std::string, std::string>(std::size_t)> body_and_type)
{
    site.server.Get(R"(/(\d+))", [body_and_type](const httplib::Request& req, httplib::Response& res) {
        const auto [body, type] = body_and_type(std::stoul(req.matches[1]));
        res.set_content(body, type);
    });
    site.start();
}

// A script that fetches url into x.
std::string fetch_script(const std::string& url)
{
    return "var x = new ActiveXObject('Microsoft.XMLHTTP');\nx.open('GET', '" + url + "', false); x.send();\n";
}

}

TEST(XmlHttp, ResponseXmlReadsTheBytesInTheirCharset)
{
    const std::string latin1_declared = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
    const std::string utf8_declared = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    const auto declared = [](const char* charset, const std::string& body) {
        return std::string("<?xml version=\"1.0\" encoding=\"") + charset + "\"?><t>" + body + "</t>";
    };
    const char* const cafe = "caf\xC3\xA9";
    const struct { const char* name; std::string content_type; std::string body; const char* text; } cases[] = {
        {"declared single-byte text", "text/xml", latin1_declared + "<t>caf\xE9</t>", cafe},
        {"the server's charset alone", "text/xml; charset=ISO-8859-1", "<t>caf\xE9</t>", cafe},
        {"the server's charset over the declaration", "application/rss+xml; charset=\"iso-8859-1\"",
         utf8_declared + "<t>caf\xE9</t>", cafe},
        {"UTF-8 named by the server over a wrong declaration", "text/xml;charset=UTF-8",
         latin1_declared + "<t>caf\xC3\xA9</t>", cafe},
        {"bytes not in the server's charset: the declaration", "text/xml; charset=utf-8",
         latin1_declared + "<t>caf\xE9</t>", cafe},
        {"a byte-order mark over the server's charset", "text/xml; charset=ISO-8859-1",
         "\xEF\xBB\xBF<t>caf\xC3\xA9</t>", cafe},
        {"a charset nobody knows", "text/xml; charset=no-such-set", latin1_declared + "<t>caf\xE9</t>", cafe},
        {"no declaration, no charset", "text/xml", "<t>caf\xC3\xA9</t>", cafe},
        {"ISO-8859-1 with Windows-1252's range, declared", "text/xml",
         latin1_declared + "<t>\x93quoted\x94 \x80 caf\xE9</t>", "\xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x82\xAC caf\xC3\xA9"},
        {"ISO-8859-1 with Windows-1252's range, named by the server", "text/xml; charset=iso-8859-1",
         "<t>\x85</t>", "\xE2\x80\xA6"},
        {"UTF-16 without a byte-order mark", "text/xml",
         utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?><t>caf") + std::string("\xE9\0", 2) + utf16le("</t>"),
         cafe},
        {"UTF-16 with a byte-order mark", "text/xml",
         "\xFF\xFE" + utf16le("<t>caf") + std::string("\xE9\0", 2) + utf16le("</t>"), cafe},
        {"UTF-32 without a byte-order mark", "text/xml",
         utf32be("<t>caf") + std::string("\0\0\0\xE9", 4) + utf32be("</t>"), cafe},
        {"EUC-KR", "text/xml", declared("EUC-KR", "\xC7\xD1\xB1\xB9"), "\xED\x95\x9C\xEA\xB5\xAD"},
        {"GB2312", "text/xml", declared("GB2312", "\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87"},
        {"Big5", "text/xml", declared("Big5", "\xA4\xA4\xA4\xE5"), "\xE4\xB8\xAD\xE6\x96\x87"},
        {"Shift_JIS", "text/xml", declared("Shift_JIS", "\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC"},
    };
    plat::LoopbackServer<> site;
    serve_numbered(site, [&](std::size_t i) { return std::pair(cases[i].body, cases[i].content_type); });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EngineHarness h;
        h.allow_objects();
        const std::string script = fetch_script(site.url("/" + std::to_string(i))) +
                                   "var doc = x.responseXML, same = doc === x.responseXML;\n"
                                   "var text = doc.documentElement ? doc.documentElement.text : doc.parseError.reason;";
        ASSERT_EQ(h.run(script.c_str()), S_OK);
        EXPECT_EQ(h.global(u"text"), cases[i].text);
        EXPECT_EQ(h.global(u"same"), "True");
    }
}

// Publishers write "&" bare in addresses and text; one must not lose the feed.
TEST(XmlHttp, ABareAmpersandInAFeedReadsAsText)
{
    const struct { const char* name; std::string body; const char* text; const char* attribute; } cases[] = {
        {"in text and in an attribute", "<t a=\"?v=1&feature=rss\">x &amp; y & z</t>", "x & y & z",
         "?v=1&feature=rss"},
        {"before a name without its ;", "<t a=\"b&c\">&copy 2008 &amp</t>", "&copy 2008 &amp", "b&c"},
        {"an upper-case X, which XML does not allow", "<t>A&#X42;C &#x44;</t>", "A&#X42;C D", nullptr},
        {"a reference to a character XML does not allow", "<t>&#0; &#xD800; &#1114112; &#65;</t>",
         "&#0; &#xD800; &#1114112; A", nullptr},
        {"CDATA, comments and processing instructions keep theirs",
         "<t><![CDATA[a & b &amp;]]><!-- c & d --><?pi e & f?> & g</t>", "a & b &amp; & g", nullptr},
        {"UTF-16 with its mark", "\xFF\xFE" + utf16le("<t a=\"1&2\">x & y</t>"), "x & y", "1&2"},
        {"UTF-32 without a mark", utf32be("<t>x & y</t>"), "x & y", nullptr},
        {"a declared entity still expands", "<!DOCTYPE t [<!ENTITY e \"E\">]><t>&e; & f</t>", "E & f", nullptr},
    };
    plat::LoopbackServer<> site;
    serve_numbered(site, [&](std::size_t i) { return std::pair(cases[i].body, std::string("text/xml")); });
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        EngineHarness h;
        h.allow_objects();
        const std::string script = fetch_script(site.url("/" + std::to_string(i))) +
                                   "var root = x.responseXML.documentElement;\n"
                                   "var text = root ? root.text : x.responseXML.parseError.reason;\n"
                                   "var attribute = root ? root.getAttribute('a') : null;";
        ASSERT_EQ(h.run(script.c_str()), S_OK);
        EXPECT_EQ(h.global(u"text"), cases[i].text);
        if (cases[i].attribute) {
            EXPECT_EQ(h.global(u"attribute"), cases[i].attribute);
        }
    }
}

TEST(XmlDom, NodesTellTheirLocalNameNamespaceAndType)
{
    EngineHarness h;
    h.allow_objects();
    ASSERT_EQ(h.run("var d = new ActiveXObject('Microsoft.XMLDOM');\n"
                    "d.loadXML('<r xmlns:a=\"urn:one\"><a:dur seconds=\"5\"/><!-- note --><plain/>text</r>');\n"
                    "var kids = d.documentElement.childNodes, seen = [];\n"
                    "for (var i = 0; i < kids.length; i++)\n"
                    "  seen.push(kids.item(i).nodeType + ' ' + kids.item(i).nodeName + ' ' + kids.item(i).baseName +"
                    " ' ' + kids.item(i).namespaceURI);\n"
                    "var all = seen.join('|');"),
              S_OK);
    EXPECT_EQ(h.global(u"all"), "1 a:dur dur urn:one|8 #comment  |1 plain plain |3 #text  ");
}

namespace {

// Answers with its headers and the start of a body, then holds the transfer
// open until the server goes; counts the transfers under way.
class StalledServer {
public:
    StalledServer()
    {
        m_site.server.Get("/stalled", [this](const httplib::Request&, httplib::Response& res) {
            {
                std::scoped_lock hold(m_lock);
                ++m_started;
                m_changed.notify_all();
            }
            res.set_chunked_content_provider("text/xml", [this](std::size_t offset, httplib::DataSink& sink) {
                if (offset == 0)
                    return sink.write("<r>", 3);
                std::unique_lock hold(m_lock);
                m_changed.wait(hold, [this] { return m_closing; });
                return false;
            });
        });
        m_site.start();
    }
    ~StalledServer() { release(); }
    // Lets the held transfers end.
    void release()
    {
        std::scoped_lock hold(m_lock);
        m_closing = true;
        m_changed.notify_all();
    }
    std::string url() const { return m_site.url("/stalled"); }
    bool wait_started()
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [this] { return m_started > 0; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_started = 0;       // guarded by m_lock
    bool m_closing = false;  // guarded by m_lock
    plat::LoopbackServer<> m_site;   // last: stops before the rest goes
};

}

TEST(XmlHttp, ACancelledCallGivesUpItsTransferWithoutWaitingForTheTimeOut)
{
    StalledServer server;
    std::promise<DWORD> thread_id;
    std::promise<std::pair<HRESULT, std::string>> outcome;
    std::thread caller([&] {
        CoEnableCallCancellation(nullptr);
        thread_id.set_value(GetCurrentThreadId());
        EngineHarness h;
        h.allow_objects();
        const std::string script = "var x = new ActiveXObject('Microsoft.XMLHTTP');\n"
                                   "x.open('GET', '" + server.url() + "', false); x.timeout = 600000; x.send();";
        const HRESULT hr = h.run(script.c_str());
        outcome.set_value({hr, h.site->errors.empty() ? "" : h.site->errors[0].description});
        CoDisableCallCancellation(nullptr);
    });
    const DWORD id = thread_id.get_future().get();
    ASSERT_TRUE(server.wait_started());
    EXPECT_EQ(CoCancelCall(id, 0), S_OK);
    auto result = outcome.get_future();
    // Far below the ten-minute time-out: the transfer was given up, not timed out.
    const bool ended = result.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    EXPECT_TRUE(ended);
    if (ended) {
        const auto [hr, description] = result.get();
        EXPECT_EQ(hr, SCRIPT_E_REPORTED);
        EXPECT_NE(description.find("cancelled"), std::string::npos) << description;
    }
    server.release();
    caller.join();
}

TEST(XmlHttp, RefusesATlsPeerWithoutATrustedCertificate)
{
    plat::TempFolder folder;
    const auto pair = http_testing::make_self_signed();
    std::ofstream(folder / "cert.pem") << pair.certificate_pem;
    std::ofstream(folder / "key.pem") << pair.key_pem;
    std::atomic<bool> served{false};
    plat::LoopbackServer<httplib::SSLServer> https((folder / "cert.pem").c_str(), (folder / "key.pem").c_str());
    ASSERT_TRUE(https.server.is_valid());
    https.server.Get("/feed", [&](const httplib::Request&, httplib::Response& res) {
        served = true;
        res.set_content("<r/>", "text/xml");
    });
    https.start();
    EngineHarness h;
    h.allow_objects();
    const std::string script = "var x = new ActiveXObject('Microsoft.XMLHTTP');\n"
                               "x.open('GET', '" + https.url("/feed") + "', false); x.send();";
    EXPECT_EQ(h.run(script.c_str()), SCRIPT_E_REPORTED);
    ASSERT_EQ(h.site->errors.size(), 1u);
    EXPECT_NE(h.site->errors[0].description.find("XMLHTTP"), std::string::npos) << h.site->errors[0].description;
    EXPECT_FALSE(served);
}

// Entity references keep their declaration as a child, and XPath finds the
// document and namespaces: none of these is a node a script can hold.
TEST(XmlDom, OnlyNodesOfTheTreeAreHandedOut)
{
    EngineHarness h;
    h.allow_objects();
    const char* script = "var d = new ActiveXObject('Microsoft.XMLDOM');\n"
                         "var ok = d.loadXML('<!DOCTYPE r [<!ENTITY e \"x\">]><r xmlns:m=\"urn:m\"><t>a&e;b</t></r>');\n"
                         "var t = d.documentElement.childNodes.item(0), ref = t.childNodes.item(1);\n"
                         "var inside = ref.childNodes.length ? ref.childNodes.item(0).nodeName : 'none';\n"
                         "var reference = t.childNodes.length + ',' + ref.nodeType + ',' + ref.nodeName + ',' + ref.text;\n"
                         "var found = d.selectNodes('/').length + ',' + d.selectNodes('//namespace::*').length + ',' +\n"
                         "            (d.selectSingleNode('/') === null);\n"
                         "var all = d.selectNodes('//node()'), names = [];\n"
                         "for (var i = 0; i < all.length; ++i) names.push(all.item(i).nodeName);\n"
                         "names = names.join(',');";
    ASSERT_EQ(h.run(script), S_OK);
    EXPECT_EQ(h.global(u"ok"), "True");
    EXPECT_EQ(h.global(u"inside"), "none");
    EXPECT_EQ(h.global(u"reference"), "3,5,e,x");
    EXPECT_EQ(h.global(u"found"), "0,0,true");
    EXPECT_EQ(h.global(u"names"), "r,t,#text,#text");
}

TEST(XmlDom, HtmlNamedEntitiesReadAsTheirCharacters)
{
    const struct { const char* xml; const char* text; } cases[] = {
        {"<t>caf&eacute; &amp; cr&egrave;me</t>", "caf\xC3\xA9 & cr\xC3\xA8me"},
        {"<t>a&nbsp;b&hellip;&euro;</t>", "a\xC2\xA0" "b\xE2\x80\xA6\xE2\x82\xAC"},
        {"<t>&Aacute;&aacute;&aacute;</t>", "\xC3\x81\xC3\xA1\xC3\xA1"},
        {"<t>&bogus; stays</t>", "&bogus; stays"},
        {"<t a=\"&ouml;\">x</t>", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        EngineHarness h;
        h.allow_objects();
        const std::string script = std::string("var d = new ActiveXObject('Microsoft.XMLDOM');\n"
                                               "var ok = d.loadXML('") + c.xml + "');\n"
                                   "var text = ok ? d.documentElement.text : d.parseError.reason;\n"
                                   "var attribute = ok ? d.documentElement.getAttribute('a') : '';";
        ASSERT_EQ(h.run(script.c_str()), S_OK);
        EXPECT_EQ(h.global(u"ok"), "True");
        EXPECT_EQ(h.global(u"text"), c.text);
        if (std::string(c.xml).find("a=") != std::string::npos) {
            EXPECT_EQ(h.global(u"attribute"), "\xC3\xB6");
        }
    }
}
