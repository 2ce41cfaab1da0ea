#include "browserext/YoutubeHelper.h"

#include "browserext/SubscriptionStore.h"
#include "browserext/SubscriptionWriter.h"
#include "browserext/VideoSiteAddresses.h"
#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/services/FeedHost.h"
#include "platform/automation/Variant.h"
#include "platform/base/Bstr.h"

#include <list>

namespace {

// The functions the subscribe links call; rssFetcher is put in from outside.
constexpr const char* script_block =
    "<dd style='display:inline'><script defer>var rssFetcher; "
    "function SetRSSFetcher(fetcher) { rssFetcher = fetcher; } "
    "function RSSSubscribe(text) { return rssFetcher.Subscribe(text); } "
    "function RSSUnSubscribe(text) { return rssFetcher.UnSubscribe(text); }</script></dd>";
constexpr const char* feed_link_script = "<dd style='display:inline'><script defer>var rss_feed_url; </script></dd>";

plat::Bstr wide(const char* text)
{
    return plat::Bstr::from_utf8(text);
}

DISPID global_id(IDispatch& script, const char16_t* name)
{
    std::u16string copy(name);
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    return SUCCEEDED(script.GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) ? id : DISPID_UNKNOWN;
}

HRESULT read_global(IDispatch& script, const char16_t* name, VARIANT* value)
{
    const DISPID id = global_id(script, name);
    if (id == DISPID_UNKNOWN)
        return DISP_E_UNKNOWNNAME;
    DISPPARAMS none{};
    return script.Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, value, nullptr, nullptr);
}

// how: DISPATCH_PROPERTYPUT for a value, DISPATCH_PROPERTYPUTREF for an object.
HRESULT write_global(IDispatch& script, const char16_t* name, VARIANT& value, WORD how)
{
    const DISPID id = global_id(script, name);
    if (id == DISPID_UNKNOWN)
        return DISP_E_UNKNOWNNAME;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    return script.Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, how, &params, nullptr, nullptr, nullptr);
}

// A stored channel keeps its link off the page unless the program dropped it
// or the user turned a predefined one off.
bool shows_link(CRSSDBMgr& db, const std::string& feed_url)
{
    std::list<RSSData::tRSSChannel> found;
    if (db.GetChannelByFeedUrl(feed_url, &found) != 0 || found.empty())
        return true;
    const RSSData::tRSSChannel& first = found.front();
    return first.mark_delete || (first.is_predefine && first.disabled);
}

}

YoutubeHelper::YoutubeHelper()
{
    SubscriptionStore::Instance();
}

CRSSDBMgr* YoutubeHelper::database()
{
    return SubscriptionStore::Instance().database();
}

void YoutubeHelper::Init(IRSSFetcher* fetcher)
{
    plat::ComPtr<IWebBrowser2> browser;
    plat::ComPtr<IDispatch> document;
    plat::Bstr location;
    if (!fetcher || FAILED(fetcher->GetWebBrowser(browser.put())) || !browser ||
        FAILED(browser->get_Document(document.put())) || !document ||
        FAILED(browser->get_LocationURL(location.out())))
        return;
    m_document = document.as<IHTMLDocument>();
    m_document2 = document.as<IHTMLDocument2>();
    m_document3 = document.as<IHTMLDocument3>();
    m_fetcher = plat::ComPtr<IDispatch>(fetcher);
    m_location = location.utf8();
    if (m_document && m_document2 && m_document3)
        m_page.emplace(m_document2, m_document3);
}

plat::ComPtr<IDispatch> YoutubeHelper::script()
{
    plat::ComPtr<IDispatch> found;
    if (!m_document || FAILED(m_document->get_Script(found.put())))
        return {};
    return found;
}

HRESULT YoutubeHelper::Inject()
{
    CRSSDBMgr* db = database();
    const plat::ComPtr<IDispatch> globals = script();
    // Without a store the link could only fail: nothing goes on the page.
    if (!m_fetcher || !m_page || !globals || !db)
        return E_FAIL;
    if (m_page->is_handled())
        return S_OK;
    std::string name;
    if (FAILED(ReadUserName(&name)))
        return E_FAIL;
    plat::ComPtr<IHTMLElement> body;
    if (FAILED(m_document2->get_body(body.put())) || !body ||
        FAILED(body->insertAdjacentHTML(wide("afterBegin").get(), wide(script_block).get())))
        return E_FAIL;
    plat::Variant fetcher;
    fetcher->vt = VT_DISPATCH;
    fetcher->pdispVal = plat::ComPtr<IDispatch>(m_fetcher).detach();
    if (FAILED(write_global(*globals.get(), u"rssFetcher", *fetcher.get(), DISPATCH_PROPERTYPUTREF)))
        return E_FAIL;
    return SetSubscribedState(shows_link(*db, GetFeedUrl(name)));
}

HRESULT YoutubeHelper::ReadUserName(std::string* name)
{
    const plat::ComPtr<IDispatch> globals = script();
    if (!m_page || !globals)
        return E_FAIL;
    if (m_page->is_watch_page()) {
        plat::Variant value;
        if (FAILED(read_global(*globals.get(), u"watchUsername", value.get())) || value->vt != VT_BSTR)
            return E_FAIL;
        *name = plat::bstr_to_utf8(value->bstrVal);
        return S_OK;
    }
    const plat::ComPtr<IHTMLElement> anchor = m_page->find_element_by_class("a", "rsslink");
    plat::Variant href;
    if (!anchor || FAILED(anchor->getAttribute(wide("href").get(), 0, href.get())) || href->vt != VT_BSTR)
        return E_FAIL;
    *name = plat::bstr_to_utf8(href->bstrVal);
    if (FAILED(anchor->insertAdjacentHTML(wide("beforeBegin").get(), wide(feed_link_script).get())))
        return E_FAIL;
    return write_global(*globals.get(), u"rss_feed_url", *href.get(), DISPATCH_PROPERTYPUT);
}

HRESULT YoutubeHelper::GetFolderId(std::int64_t* id)
{
    CRSSDBMgr* db = database();
    const auto folder = db ? browserext::SubscriptionWriter(*db).subscription_folder() : std::nullopt;
    if (!folder)
        return E_FAIL;
    *id = *folder;
    return S_OK;
}

std::string YoutubeHelper::GetFeedUrl(const std::string& text)
{
    if (m_page && m_page->is_watch_page())
        return browserext::watch_feed_url(ReadFeedHost(), text);
    return browserext::category_feed_url(text, m_location);
}

HRESULT YoutubeHelper::SetSubscribedState(bool show)
{
    return m_page ? m_page->set_subscribed_state(show) : E_FAIL;
}

std::string YoutubeHelper::GetTitle()
{
    if (!m_page)
        return {};
    if (!m_page->is_watch_page())
        return m_page->feed_page_title();
    std::string name;
    return SUCCEEDED(ReadUserName(&name)) ? name : std::string();
}

std::unique_ptr<YoutubeHelper> CreatePageHelper(IRSSFetcher* fetcher)
{
    plat::ComPtr<IWebBrowser2> browser;
    plat::Bstr location;
    if (!fetcher || FAILED(fetcher->GetWebBrowser(browser.put())) || !browser ||
        FAILED(browser->get_LocationURL(location.out())) || !browserext::is_video_site_page(location.utf8()))
        return nullptr;
    auto helper = std::make_unique<YoutubeHelper>();
    helper->Init(fetcher);
    return helper;
}
