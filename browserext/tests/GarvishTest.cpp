// The browser helper object as a browser loads it: the module registered with
// strimo-regsvr into a temporary registry, created from the browser's list of
// helpers, given a page host's browser, over pages written here. The store
// is the module's own, opened once per process on the data folder of the
// test; CTest runs each case in a process of its own.

#include "browserext/IRSSFetcher.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/FeedDatabasePath.h"
#include "components/common/regutil/ProgramKey.h"
#include "platform/automation/testing/AutomationTesting.h"
#include "platform/base/Utf.h"
#include "platform/browser/PageHost.h"
#include "platform/html/HtmlInterfaces.h"
#include "platform/com/Com.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/script/testing/ModuleTesting.h"

#include "FeedDbFixture.h"
#include "RunningProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::string watch_url = "http://www.youtube.com/watch?v=x";
const std::string owner_feed = "http://feeds.example/feeds/base/users/owner/uploads?alt=rss&orderby=published";
const std::string subscribed = "Subscribe Successfully!";

// The site's own unsubscribe button calls the extension's script, which no
// link of the extension does: it lets the tests unsubscribe as a page could.
const std::string unsubscribe_link =
    "<a id=un href=\"javascript:if(RSSUnSubscribe(watchUsername)) alert('Unsubscribe Successfully!'); "
    "else alert('Unsubscribe Failed!');\">remove</a>";

// user: the script's value of watchUsername; empty: the page has no such variable.
std::string watch_page(const std::string& subscribe_class = "x", const std::string& after = "<div id=unsubscribeDiv>u</div>",
                       const std::string& user = "'owner'")
{
    const std::string script = user.empty() ? "" : "<script>var watchUsername = " + user + ";</script>";
    return "<html><head>" + script + "</head><body>" + unsubscribe_link +
           "<div id=subscribeDiv class='" + subscribe_class + "'>s</div>" + after + "</body></html>";
}

std::string feed_link_page(const std::string& header)
{
    return "<body>" + header + "<p>x <a class=rsslink href='http://gdata.example/feeds/most_viewed?time=today'>RSS</a>"
           "</p></body>";
}

class Garvish : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {GARVISH_MODULE}));
        // The watch page's feed goes to the user's feed host.
        auto user = plat::RegistryStore::open_default(plat::Hive::CurrentUser);
        ASSERT_EQ(user.create_key(ProgramKey, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(user.write_value(ProgramKey, u"FeedHost",
                                   {REG_SZ, plat::registry_text_data(u"feeds.example")}),
                  ERROR_SUCCESS);
        const auto path = feeddb::feed_database_path();
        ASSERT_TRUE(path);
        db_path = *path;
    }
    void TearDown() override
    {
        host.close();
        CoUninitialize();
    }

    // The test's own connection to the user's feed database, tables made as the program makes them.
    CRSSDBMgr& database()
    {
        if (!db_open) {
            EXPECT_EQ(db.Open(db_path.c_str()), 0);
            db_open = true;
        }
        return db;
    }

    std::int64_t add_folder(const std::string& name)
    {
        RSSFolderRecord folder;
        folder.name = name;
        EXPECT_EQ(database().InsertFolder(&folder), 0);
        return folder.id;
    }

    std::optional<RSSData::tRSSChannel> stored(const std::string& url)
    {
        std::list<RSSData::tRSSChannel> found;
        if (database().GetChannelByFeedUrl(url, &found) != 0 || found.empty())
            return std::nullopt;
        return found.front();
    }

    // Shows the page, gives the registered helper the browser and raises DocumentComplete.
    void show(const std::string& html, const std::string& url = watch_url)
    {
        host.close();
        ASSERT_EQ(host.load(html, url), S_OK);
        auto helpers = plat::browser::create_browser_helpers(std::string(GARVISH_MODULE));
        ASSERT_EQ(helpers.size(), 1u);
        fetcher = helpers[0].as<IDispatch>();
        ASSERT_EQ(host.attach(helpers[0]), S_OK);
        host.complete();
    }

    // The markup inside the element with the id; "-" when there is none.
    std::string html_of(const char* id)
    {
        plat::ComPtr<IDispatch> document;
        plat::ComPtr<IHTMLElement> found;
        host.browser()->get_Document(document.put());
        document.as<IHTMLDocument3>()->getElementById(plat::Bstr::from_utf8(id).get(), found.put());
        plat::Bstr html;
        if (!found || FAILED(found->get_innerHTML(html.out())))
            return "-";
        return html.utf8();
    }

    bool shows_link() { return host.markup().find("id=\"strimo_rssfetcher\"") != std::string::npos; }
    int script_blocks()
    {
        const std::string markup = host.markup();
        int count = 0;
        for (auto at = markup.find("function RSSSubscribe(text)"); at != std::string::npos;
             at = markup.find("function RSSSubscribe(text)", at + 1))
            ++count;
        return count;
    }
    bool has_script_block() { return script_blocks() > 0; }

    // Calls the fetcher as a script would: the text argument, a result wanted.
    HRESULT call(DISPID id, const char* text, VARIANT* result, WORD flags = DISPATCH_METHOD)
    {
        VARIANT argument = plat::bstr_variant(text);
        DISPPARAMS params{&argument, nullptr, 1, 0};
        const HRESULT hr = fetcher->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
        VariantClear(&argument);
        return hr;
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder dir;
    plat::ScopedEnvironment data{"XDG_DATA_HOME", (dir / "data").c_str()};
    plat::ScopedEnvironment runtime{"STRIMO_RUNTIME_DIR", dir.path().c_str()};
    std::string db_path;
    CRSSDBMgr db;
    bool db_open{false};
    plat::browser::PageHost host;
    plat::ComPtr<IDispatch> fetcher;
};

TEST_F(Garvish, AWatchPageSubscribesItsOwnerThroughTheLink)
{
    const std::int64_t folder = add_folder("My Subscriptions");
    show(watch_page());
    EXPECT_TRUE(has_script_block());
    EXPECT_NE(html_of("subscribeDiv").find("<div id=\"strimo_rssfetcher\" style=\"display:inline\"><a href=\"javascript:"),
              std::string::npos);

    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);   // no program runs: still written
    EXPECT_EQ(host.alerts(), std::vector<std::string>{subscribed});
    const auto channel = stored(owner_feed);
    ASSERT_TRUE(channel);
    EXPECT_EQ(channel->folder_id(), folder);
    EXPECT_EQ(channel->title, "owner");
    EXPECT_EQ(channel->item_capability, 200);
    EXPECT_TRUE(channel->can_auto_update);
    EXPECT_FALSE(shows_link()) << "the link leaves the page";

    // Every frame's DocumentComplete looks again: no link for a stored
    // channel, but the script block goes in once more.
    host.complete();
    EXPECT_FALSE(shows_link());
    EXPECT_EQ(script_blocks(), 2);
}

TEST_F(Garvish, TheLinkGoesWhereTheSiteSaysOnTheSitesOwnPagesOnly)
{
    const struct {
        std::string url;
        std::string page;
        const char* holder;   // the element that gets the link; null: no link
        bool script{false};   // without a link: the script block still went in
    } cases[] = {
        {watch_url, watch_page(), "subscribeDiv"},
        {"HTTP://WWW.YOUTUBE.COM/watch?v=x", watch_page(), "subscribeDiv"},
        {"http://youtube.com/watch?v=x", watch_page(), "subscribeDiv"},
        {watch_url, watch_page("hid"), "unsubscribeDiv"},
        {watch_url, watch_page("hid big"), "subscribeDiv"},
        {watch_url, watch_page("hid", ""), nullptr, true},
        {"https://www.youtube.com/watch?v=x", watch_page(), nullptr},
        {"http://www.youtube.com.evil.example/watch?v=x", watch_page(), nullptr},
        {"http://notyoutube.com/watch?v=x", watch_page(), nullptr},
        {"http://evil.example/youtube/watch?v=x", watch_page(), nullptr},
        {watch_url, watch_page("x", "<div id=unsubscribeDiv>u</div>", ""), nullptr},
        {watch_url, watch_page("x", "<div id=unsubscribeDiv>u</div>", "5"), nullptr},
        {watch_url, "<body><p>neither block nor feed link</p></body>", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url + " " + c.page);
        show(c.page, c.url);
        if (!c.holder) {
            EXPECT_FALSE(shows_link());
            EXPECT_EQ(has_script_block(), c.script);
            continue;
        }
        EXPECT_NE(html_of(c.holder).find("strimo_rssfetcher"), std::string::npos);
        EXPECT_TRUE(has_script_block());
    }
}

TEST_F(Garvish, AFeedLinkPageSubscribesItsLinkWithTheCategoryOfThePage)
{
    add_folder("My Subscriptions");
    const std::string header = "<div id=main-header>Most Viewed</div>\n<div>Today</div>\n<div id=time-slice-modifiers>";
    const struct {
        const char* query;
        std::string feed;
    } cases[] = {
        {"c=10", "http://gdata.example/feeds/most_viewed_Music?time=today"},
        {"s=mp&c=2&l=", "http://gdata.example/feeds/most_viewed_Autos?time=today"},
        {"c=0", "http://gdata.example/feeds/most_viewed?time=today"},
        {"c=99", "http://gdata.example/feeds/most_viewed?time=today"},
        {"c=music", "http://gdata.example/feeds/most_viewed?time=today"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        show(feed_link_page(header), std::string("http://www.youtube.com/browse?") + c.query);
        // The feed's script before the link, the container right after it.
        EXPECT_NE(host.markup().find("<dd style=\"display:inline\"><script defer=\"\">var rss_feed_url; </script></dd>"
                                     "<a class=\"rsslink\""),
                  std::string::npos);
        EXPECT_NE(host.markup().find("RSS</a><div id=\"strimo_rssfetcher\" style=\"padding-left:4px\"><a style="),
                  std::string::npos);
        ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
        ASSERT_EQ(host.alerts(), std::vector<std::string>{subscribed});
        const auto channel = stored(c.feed);
        ASSERT_TRUE(channel);
        EXPECT_EQ(channel->title, "Most Viewed- Today");
        ASSERT_EQ(database().DeleteChannel(channel->id), 0);
    }

    show(feed_link_page("<div id=main-header>Most Viewed</div>"), "http://www.youtube.com/rss_page");
    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
    ASSERT_TRUE(stored("http://gdata.example/feeds/most_viewed?time=today"));
    EXPECT_EQ(stored("http://gdata.example/feeds/most_viewed?time=today")->title, "Most Viewed");
    ASSERT_EQ(database().DeleteChannel(stored("http://gdata.example/feeds/most_viewed?time=today")->id), 0);

    show(feed_link_page(""), "http://www.youtube.com/rss_page");
    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
    EXPECT_EQ(host.alerts(), std::vector<std::string>{subscribed});
    ASSERT_TRUE(stored("http://gdata.example/feeds/most_viewed?time=today"));
    EXPECT_EQ(stored("http://gdata.example/feeds/most_viewed?time=today")->title, "RSS From Youtube");
}

TEST_F(Garvish, AStoredChannelKeepsTheLinkOffUnlessDroppedOrTurnedOff)
{
    const std::int64_t mine = add_folder("My Subscriptions");
    const std::int64_t standard = add_folder("Standard");
    const struct {
        bool is_predefine, disabled, mark_delete;
        bool link;
    } cases[] = {
        {false, false, false, false},
        {true, false, false, false},
        {false, true, false, false},
        {true, true, false, true},
        {false, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.is_predefine << c.disabled << c.mark_delete);
        RSSData::tRSSChannel channel;
        channel.set_folder_id(standard);
        channel.feed_url = owner_feed;
        channel.title = "Stored Title";
        channel.is_predefine = c.is_predefine;
        channel.disabled = c.disabled;
        channel.mark_delete = c.mark_delete;
        ASSERT_EQ(database().InsertChannel(&channel), 0);
        show(watch_page());
        EXPECT_EQ(shows_link(), c.link);
        if (c.link) {
            // Subscribing revives the stored row as it was.
            ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
            EXPECT_EQ(host.alerts(), std::vector<std::string>{subscribed});
            const auto revived = stored(owner_feed);
            ASSERT_TRUE(revived);
            EXPECT_EQ(revived->id, channel.id);
            EXPECT_EQ(revived->folder_id(), standard);
            EXPECT_NE(revived->folder_id(), mine);
            EXPECT_EQ(revived->title, "Stored Title");
            EXPECT_FALSE(revived->disabled || revived->mark_delete);
        }
        ASSERT_EQ(database().DeleteChannel(channel.id), 0);
    }
}

TEST_F(Garvish, WithoutASubscriptionsFolderTheLinkShowsButWritesNothing)
{
    add_folder("Favourites");
    show(watch_page());
    ASSERT_TRUE(shows_link());
    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
    EXPECT_TRUE(host.alerts().empty()) << "the call failed: neither message is shown";
    EXPECT_FALSE(stored(owner_feed));
    EXPECT_TRUE(shows_link());
}

TEST_F(Garvish, UnsubscribingRemovesOrDisablesAndPutsTheLinkBack)
{
    add_folder("My Subscriptions");
    show(watch_page());
    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
    ASSERT_TRUE(stored(owner_feed));
    ASSERT_EQ(host.click("#un"), S_OK);
    ASSERT_EQ(host.click("#un"), S_OK);
    EXPECT_EQ(host.alerts(), (std::vector<std::string>{subscribed, "Unsubscribe Successfully!", "Unsubscribe Failed!"}));
    EXPECT_FALSE(stored(owner_feed));
    EXPECT_TRUE(shows_link());

    // A predefined channel stays, turned off.
    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
    ASSERT_TRUE(stored(owner_feed));
    RSSData::tRSSChannel channel = *stored(owner_feed);
    channel.is_predefine = true;
    ASSERT_EQ(database().UpdateChannel(channel), 0);
    ASSERT_EQ(host.click("#un"), S_OK);
    const auto kept = stored(owner_feed);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(kept->disabled);
    EXPECT_TRUE(shows_link());
}

TEST_F(Garvish, InvokeChecksWhatTheScriptPasses)
{
    add_folder("My Subscriptions");
    show(watch_page());
    DISPPARAMS none{};
    plat::Variant result;
    EXPECT_EQ(fetcher->Invoke(1, GUID_NULL, 0, DISPATCH_METHOD, &none, result.get(), nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = fetcher.get();
    DISPPARAMS one{&object, nullptr, 1, 0};
    UINT bad_argument = 9;
    EXPECT_EQ(fetcher->Invoke(2, GUID_NULL, 0, DISPATCH_METHOD, &one, result.get(), nullptr, &bad_argument),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(bad_argument, 0u);
    EXPECT_EQ(call(1, "owner", nullptr, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND) << "a method, not a property";
    EXPECT_FALSE(stored(owner_feed));

    EXPECT_EQ(call(1, "owner", nullptr), S_OK) << "no result wanted";
    EXPECT_TRUE(stored(owner_feed));
    ASSERT_EQ(call(2, "owner", result.get()), S_OK);
    EXPECT_EQ(result->vt, VT_BOOL);
    EXPECT_EQ(result->boolVal, VARIANT_TRUE);
    ASSERT_EQ(call(2, "owner", result.get()), S_OK);
    EXPECT_EQ(result->boolVal, VARIANT_FALSE) << "nothing left to remove";

    plat::Variant browser;
    ASSERT_EQ(fetcher->Invoke(3, GUID_NULL, 0, DISPATCH_METHOD, &none, browser.get(), nullptr, nullptr), S_OK);
    ASSERT_EQ(browser->vt, VT_DISPATCH);
    EXPECT_EQ(browser->pdispVal, static_cast<IDispatch*>(host.browser()));
    EXPECT_EQ(plat::dispid_of(fetcher.get(), u"subscribe"), 1);
    EXPECT_EQ(plat::dispid_of(fetcher.get(), u"UnSubscribe"), 2);

    // Not a page of the site: both calls fail; the event is answered all the same.
    show(watch_page(), "https://www.youtube.com/watch?v=x");
    EXPECT_EQ(call(1, "owner", result.get()), E_FAIL);
    EXPECT_EQ(call(2, "owner", result.get()), E_FAIL);
    EXPECT_EQ(fetcher->Invoke(259, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
}

TEST_F(Garvish, ASecondSiteTakesTheEventsFromTheFirst)
{
    auto helpers = plat::browser::create_browser_helpers(std::string(GARVISH_MODULE));
    ASSERT_EQ(helpers.size(), 1u);
    const plat::ComPtr<IObjectWithSite> helper = helpers[0];
    EXPECT_EQ(helper->SetSite(nullptr), E_FAIL) << "no browser yet";
    plat::ComPtr<IWebBrowser2> none;
    EXPECT_EQ(helper.as<IRSSFetcher>()->GetWebBrowser(none.put()), E_FAIL);
    EXPECT_FALSE(none);

    plat::browser::PageHost first;
    ASSERT_EQ(first.load(watch_page(), watch_url), S_OK);
    ASSERT_EQ(host.load(watch_page(), watch_url), S_OK);
    ASSERT_EQ(first.attach(helper), S_OK);
    ASSERT_EQ(helper->SetSite(host.browser()), S_OK);
    first.complete();
    EXPECT_EQ(first.markup().find("strimo_rssfetcher"), std::string::npos) << "the first browser was left";
    host.complete();
    EXPECT_TRUE(shows_link());
    plat::ComPtr<IUnknown> site;
    ASSERT_EQ(helper->GetSite(IID_IUnknown, site.put_void()), S_OK);
    EXPECT_EQ(site, plat::ComPtr<IUnknown>(host.browser()).as<IUnknown>());

    EXPECT_EQ(helper->SetSite(nullptr), S_OK);
    EXPECT_EQ(helper->GetSite(IID_IUnknown, site.put_void()), E_FAIL);
    first.close();
}

TEST_F(Garvish, RegistrationWritesItsKeysAndUnregistrationTakesThemAway)
{
    auto classes = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    auto machine = plat::RegistryStore::open_default(plat::Hive::LocalMachine);
    const auto text = [](const plat::RegistryStore& store, std::u16string_view key, std::u16string_view name = u"") {
        plat::RegistryValue value;
        if (store.read_value(key, name, value) != ERROR_SUCCESS || value.type != REG_SZ)
            return std::string("-");
        return plat::utf16_to_utf8(plat::registry_text(value.data));
    };
    const std::u16string clsid = u"CLSID\\{2ABAE895-CBD6-48B2-81F7-3C4809978A32}";
    const std::u16string helper =
        u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects\\"
        u"{2ABAE895-CBD6-48B2-81F7-3C4809978A32}";
    EXPECT_EQ(text(classes, u"AppID\\{C96D6FFC-A9CD-478B-ADEA-EBDA34725C84}"), "Garvish");
    EXPECT_EQ(text(classes, u"AppID\\Garvish.DLL", u"AppID"), "{C96D6FFC-A9CD-478B-ADEA-EBDA34725C84}");
    EXPECT_EQ(text(classes, u"Garvish.RSSFetcher.1"), "RSSFetcher Class");
    EXPECT_EQ(text(classes, u"Garvish.RSSFetcher.1\\CLSID"), "{2ABAE895-CBD6-48B2-81F7-3C4809978A32}");
    EXPECT_EQ(text(classes, u"Garvish.RSSFetcher"), "RSSFetcher Class");
    EXPECT_EQ(text(classes, u"Garvish.RSSFetcher\\CurVer"), "Garvish.RSSFetcher.1");
    EXPECT_EQ(text(classes, clsid), "Corvalen IE RSS Plugin");
    EXPECT_EQ(text(classes, clsid, u"AppID"), "{C96D6FFC-A9CD-478B-ADEA-EBDA34725C84}");
    EXPECT_EQ(text(classes, clsid + u"\\ProgID"), "Garvish.RSSFetcher.1");
    EXPECT_EQ(text(classes, clsid + u"\\VersionIndependentProgID"), "Garvish.RSSFetcher");
    EXPECT_EQ(text(classes, clsid + u"\\InprocServer32"), GARVISH_MODULE);
    EXPECT_EQ(text(classes, clsid + u"\\InprocServer32", u"ThreadingModel"), "Both");
    EXPECT_EQ(classes.find_key(clsid + u"\\Programmable"), ERROR_SUCCESS);
    EXPECT_EQ(classes.find_key(clsid + u"\\TypeLib"), ERROR_FILE_NOT_FOUND) << "no type library exists";
    EXPECT_EQ(text(machine, helper), "Corvalen IE RSS Plugin");
    plat::RegistryValue no_explorer;
    ASSERT_EQ(machine.read_value(helper, u"NoExplorer", no_explorer), ERROR_SUCCESS);
    EXPECT_EQ(no_explorer, (plat::RegistryValue{REG_DWORD, {1, 0, 0, 0}}));

    const std::string command = std::string("'") + STRIMO_REGSVR + "' -u '" + GARVISH_MODULE + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const std::u16string& key : {std::u16string(u"AppID\\{C96D6FFC-A9CD-478B-ADEA-EBDA34725C84}"),
                                      std::u16string(u"AppID\\Garvish.DLL"), std::u16string(u"Garvish.RSSFetcher.1"),
                                      std::u16string(u"Garvish.RSSFetcher"), clsid})
        EXPECT_EQ(classes.find_key(key), ERROR_FILE_NOT_FOUND) << plat::utf16_to_utf8(key);
    EXPECT_EQ(machine.find_key(helper), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(plat::browser::create_browser_helpers(std::nullopt).empty());
}

TEST_F(Garvish, AFileThatIsNoDatabaseLeavesTheStoreUnusable)
{
    const std::string garbage = "this is not an SQLite database, just text that is long enough to be read\n";
    ASSERT_EQ(plat::write_file_atomic(db_path, garbage), 0);
    show(watch_page());   // the event is answered; nothing goes on the page
    EXPECT_FALSE(shows_link());
    EXPECT_FALSE(has_script_block());
    plat::Variant result;
    EXPECT_EQ(call(1, "owner", result.get()), E_FAIL);
    EXPECT_EQ(call(2, "owner", result.get()), E_FAIL);
    EXPECT_EQ(plat::read_file(db_path).bytes, garbage);
}

// The running program: a notifier server thread of this process, whose
// feed database's listener hears the extension's notices.
using GarvishWithRunningProgram = WithRunningProgramOf<Garvish>;

TEST_F(GarvishWithRunningProgram, HearsEachChangeAndThePauseBeforeARemoval)
{
    add_folder("My Subscriptions");
    show(watch_page());
    ASSERT_EQ(host.click("#strimo_rssfetcher a"), S_OK);
    ASSERT_TRUE(stored(owner_feed));
    const std::int64_t id = stored(owner_feed)->id;
    ASSERT_EQ(host.click("#un"), S_OK);
    EXPECT_EQ(host.alerts(), (std::vector<std::string>{subscribed, "Unsubscribe Successfully!"}));

    program->expect_subscribed_then_removed(id);
}

// What a user sees: the tool shows the page with the registered extension,
// clicks its link, prints the alert and the changed page; the row is in the
// user's Rss.db and the running program heard of it.
TEST_F(GarvishWithRunningProgram, ThePageHostToolSubscribesEndToEnd)
{
    add_folder("My Subscriptions");
    const std::string page = dir / "page.html";
    ASSERT_EQ(plat::write_file_atomic(page, watch_page()), 0);
    const auto run = [](const std::string& command) {
        std::string output;
        std::FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        for (std::size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        const int status = pipe ? pclose(pipe) : -1;
        return std::make_pair(status, output);
    };
    const auto [status, output] = run(std::string("'") + PAGEHOST + "' --bho '" + GARVISH_MODULE + "' --url '" +
                                      watch_url + "' '" + page + "' --click '#strimo_rssfetcher a'");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(output.starts_with("alert: " + subscribed + "\n")) << output;
    EXPECT_NE(output.find("function RSSSubscribe(text)"), std::string::npos) << output;
    EXPECT_EQ(output.find("strimo_rssfetcher"), std::string::npos) << "the link is gone: " << output;

    const auto [query_status, rows] = run("sqlite3 '" + db_path + "' 'SELECT folder_id, feed_url, rss_channel_title FROM rsschannel'");
    EXPECT_EQ(query_status, 0);
    EXPECT_EQ(rows, "1|" + owner_feed + "|owner\n");
    ASSERT_TRUE(stored(owner_feed));
    const std::vector<feeddb_test::Notice> expected = {
        {false, DataAction::Insert, DataKind::Channel, stored(owner_feed)->id, 0}};
    EXPECT_EQ(program->notices(), expected);
}

}
