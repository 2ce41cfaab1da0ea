#include "platform/html/HtmlDocument.h"

#include "platform/automation/testing/AutomationTesting.h"
#include "platform/base/Bstr.h"
#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A page whose scripts run, its alerts kept.
class PageScriptsTest : public testing::Test {
protected:
    void load(const std::string& html,
              std::chrono::milliseconds run_limit = plat::html::PageScripts::default_run_limit)
    {
        m_document = plat::ComPtr<plat::html::HtmlDocument>::adopt(new plat::html::HtmlDocument);
        m_document->set_url("http://www.youtube.com/watch?v=x");
        m_document->enable_scripts([this](const std::string& message) { alerts.push_back(message); }, run_limit);
        SAFEARRAY* texts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
        VARIANT* elements = nullptr;
        SafeArrayAccessData(texts, reinterpret_cast<void**>(&elements));
        elements[0] = plat::bstr_variant(html);
        SafeArrayUnaccessData(texts);
        ASSERT_EQ(m_document->write(texts), S_OK);
        SafeArrayDestroy(texts);
        ASSERT_EQ(m_document->get_Script(script.put()), S_OK);
        ASSERT_TRUE(script);
    }
    void TearDown() override
    {
        if (m_document)
            m_document->close_scripts();
    }

    DISPID id_of(const char16_t* name) { return plat::dispid_of(script.get(), name); }

    // A global's value as text; "-" when the script has no such global.
    std::string global(const char16_t* name)
    {
        const DISPID id = id_of(name);
        if (id == DISPID_UNKNOWN)
            return "-";
        DISPPARAMS none{};
        plat::Variant value, text;
        EXPECT_EQ(script->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value.get(),
                                 nullptr, nullptr),
                  S_OK);
        if (FAILED(VariantChangeType(text.get(), value.get(), 0, VT_BSTR)))
            return "?";
        return plat::bstr_to_utf8(text->bstrVal);
    }

    HRESULT put(const char16_t* name, VARIANT& value, WORD how)
    {
        DISPID named = DISPID_PROPERTYPUT;
        DISPPARAMS params{&value, &named, 1, 1};
        return script->Invoke(id_of(name), GUID_NULL, LOCALE_USER_DEFAULT, how, &params, nullptr, nullptr, nullptr);
    }

    plat::ComPtr<IHTMLElement> element(const char* id)
    {
        plat::ComPtr<IHTMLElement> found;
        m_document->getElementById(plat::Bstr::from_utf8(id).get(), found.put());
        return found;
    }

    static HRESULT insert(const plat::ComPtr<IHTMLElement>& e, const char* where, const std::string& html)
    {
        return e->insertAdjacentHTML(plat::Bstr::from_utf8(where).get(), plat::Bstr::from_utf8(html).get());
    }

    plat::ComPtr<plat::html::HtmlDocument> m_document;
    plat::ComPtr<IDispatch> script;
    std::vector<std::string> alerts;
};

TEST_F(PageScriptsTest, InlineScriptsRunAtLoadInDocumentOrder)
{
    load("<head><script>var order = 'a';</script></head><body><p>text</p>"
         "<script type='text/javascript'>order += 'b';</script>"
         "<script src='http://127.0.0.1:1/never.js'>order += 'fetched';</script>"
         "<script type='text/template'>order += 'template';</script>"
         "<script language='vbscript'>order += 'vb';</script>"
         "<script defer>order += 'c'; var watchUsername = 'owner';</script>"
         "<script>order += 'd'; this is no script</script><script>order += 'e';</script></body>");
    EXPECT_EQ(global(u"order"), "abce");   // the broken script stops alone
    EXPECT_EQ(global(u"watchUsername"), "owner");
    EXPECT_EQ(global(u"missing"), "-");
    EXPECT_TRUE(alerts.empty());
}

TEST_F(PageScriptsTest, TheScriptObjectPutsValuesAndObjectsByName)
{
    load("<script>var rss_feed_url; var rssFetcher;</script><p id=p>x</p>");
    plat::Variant text;
    *text.get() = plat::bstr_variant("http://feeds.example/a?b=c");
    ASSERT_EQ(put(u"rss_feed_url", *text.get(), DISPATCH_PROPERTYPUT), S_OK);
    EXPECT_EQ(global(u"rss_feed_url"), "http://feeds.example/a?b=c");

    // An object put by reference stays the object; closing the page lets go of it.
    plat::ComPtr<IHTMLElement> p = element("p");
    {
        plat::Variant object;
        object->vt = VT_DISPATCH;
        object->pdispVal = plat::ComPtr<IDispatch>(static_cast<IDispatch*>(p.get())).detach();
        ASSERT_EQ(put(u"rssFetcher", *object.get(), DISPATCH_PROPERTYPUTREF), S_OK);
    }
    EXPECT_NE(global(u"rssFetcher"), "-");
    p->AddRef();
    const ULONG held = p->Release();
    script.reset();
    m_document->close_scripts();
    p->AddRef();
    EXPECT_EQ(p->Release(), held - 1);
}

TEST_F(PageScriptsTest, ScriptsInInsertedMarkupRunOnceWhenInserted)
{
    load("<script>var runs = 0;</script><div id=d><p id=p>x</p></div><table><tbody id=t></tbody></table>");
    const plat::ComPtr<IHTMLElement> d = element("d");
    ASSERT_EQ(insert(d, "afterBegin", "<dd style='display:inline'><script defer>runs += 1;</script></dd>"), S_OK);
    EXPECT_EQ(global(u"runs"), "1");
    // Other changes of the page run nothing again.
    ASSERT_EQ(insert(element("p"), "afterEnd", "<b>more</b>"), S_OK);
    plat::Bstr html;
    ASSERT_EQ(d->get_innerHTML(html.out()), S_OK);
    EXPECT_EQ(global(u"runs"), "1");
    // Markup put as content runs its own scripts, once.
    ASSERT_EQ(element("p")->put_innerHTML(plat::Bstr::from_utf8("<script>runs += 10;</script>y").get()), S_OK);
    EXPECT_EQ(global(u"runs"), "11");
    ASSERT_EQ(insert(element("t"), "beforeEnd", "<tr><td><script>runs += 100;</script></td></tr>"), S_OK);
    EXPECT_EQ(global(u"runs"), "111");
}

TEST_F(PageScriptsTest, JavascriptLinksRunWhenClickedAndAlertReachesTheHost)
{
    load("<script>var clicks = 0; function hello(n){ return 'hello ' + n; }</script>"
         "<a id=js href=\"javascript:clicks++; alert(hello(clicks));\">go</a>"
         "<a id=encoded href=\"JavaScript:alert('50%25%20off')\">%</a>"
         "<a id=web href=\"http://www.youtube.com/\">web</a><p id=p>no link</p>"
         "<a id=empty href=\"javascript:alert()\">empty</a>");
    for (const char* id : {"js", "js", "encoded", "web", "p", "empty"})
        ASSERT_EQ(element(id)->click(), S_OK) << id;
    EXPECT_EQ(alerts, (std::vector<std::string>{"hello 1", "hello 2", "50% off", ""}));
}

TEST_F(PageScriptsTest, PagesCannotCreateObjects)
{
    load("<script>var made = [];"
         "var progids = ['Microsoft.XMLHTTP', 'Microsoft.XMLDOM', 'Scripting.FileSystemObject'];"
         "for (var i = 0; i < progids.length; ++i) {"
         "  try { new ActiveXObject(progids[i]); made.push('made'); } catch (e) { made.push('refused'); } }"
         "made = made.join();</script>");
    EXPECT_EQ(global(u"made"), "refused,refused,refused");
}

TEST(PageWithoutScripts, RunsNothingAndHasNoScriptObject)
{
    auto document = plat::ComPtr<plat::html::HtmlDocument>::adopt(new plat::html::HtmlDocument);
    plat::ComPtr<IDispatch> script;
    EXPECT_EQ(document->get_Script(script.put()), E_FAIL);
    EXPECT_FALSE(script);
}

}

// A script that never ends is ended after its run limit, whatever it catches,
// and the page goes on: the next scripts run, and so do later calls, which
// have their own time. Run on a thread of its own so that a hang fails; the
// page's engine answers only that thread, so the page is read and closed there.
TEST_F(PageScriptsTest, AScriptThatNeverEndsIsCutOffAndThePageGoesOn)
{
    std::mutex lock;
    std::condition_variable changed;
    bool finished = false;
    HRESULT called = S_OK;
    std::string ran, spins;
    plat::DebugCapture capture;
    std::thread page([&] {
        load("<script>var ran = 'first'; var spins = 0;</script>"
             "<script>while (true) { spins++; }</script>"
             "<script>try { for (;;) {} } catch (e) { } ran += ' caught';</script>"
             "<script>ran += ' last'; function spin() { for (;;) {} }</script>",
             std::chrono::milliseconds(300));
        DISPPARAMS none{};
        called = script->Invoke(id_of(u"spin"), GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                                nullptr, nullptr);
        ran = global(u"ran");
        spins = global(u"spins");
        script = {};
        m_document->close_scripts();
        m_document = {};
        std::scoped_lock hold(lock);
        finished = true;
        changed.notify_all();
    });
    {
        std::unique_lock hold(lock);
        if (!changed.wait_for(hold, std::chrono::seconds(60), [&] { return finished; })) {
            ADD_FAILURE() << "a page script never ended";
            std::_Exit(1);
        }
    }
    page.join();
    EXPECT_EQ(ran, "first last") << "the next scripts ran; a catch kept nothing";
    EXPECT_NE(spins, "0");
    EXPECT_TRUE(FAILED(called)) << "a call that never ends fails";
    EXPECT_TRUE(capture.contains("execution timeout"));
}
