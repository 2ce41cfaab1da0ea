#include "platform/browser/PageHost.h"

#include "platform/automation/Variant.h"
#include "platform/base/Bstr.h"
#include "platform/com/ComObject.h"
#include "platform/html/HtmlInterfaces.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A helper that advises itself to DWebBrowserEvents2 when given its site, as
// browser helper objects do, and records each event it hears.
class RecordingHelper final : public plat::ComObject<IObjectWithSite, IDispatch> {
public:
    struct Event {
        DISPID id;
        UINT arguments;
        bool frame_is_browser;
        std::string url;
    };

    HRESULT SetSite(IUnknown* site) noexcept override
    {
        sites.push_back(site != nullptr);
        if (!site)
            return m_point ? m_point->Unadvise(m_cookie) : E_FAIL;
        auto container = plat::ComPtr<IUnknown>(site).as<IConnectionPointContainer>();
        m_browser = plat::ComPtr<IUnknown>(site).as<IWebBrowser2>();
        if (!container || !m_browser)
            return E_NOINTERFACE;
        const HRESULT hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, m_point.put());
        return SUCCEEDED(hr) ? m_point->Advise(static_cast<IDispatch*>(this), &m_cookie) : hr;
    }
    HRESULT GetSite(REFIID, void**) noexcept override { return E_NOTIMPL; }

    HRESULT GetTypeInfoCount(UINT* count) noexcept override { return plat::no_type_info_count(count); }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override { return plat::no_type_info(info); }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) noexcept override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) noexcept override
    {
        Event event{id, params->cArgs, false, {}};
        if (params->cArgs == 2) {
            event.frame_is_browser = params->rgvarg[1].vt == VT_DISPATCH &&
                                     params->rgvarg[1].pdispVal == static_cast<IDispatch*>(m_browser.get());
            const VARIANT& url = params->rgvarg[0];
            if (url.vt == (VT_BYREF | VT_VARIANT) && url.pvarVal->vt == VT_BSTR)
                event.url = plat::bstr_to_utf8(url.pvarVal->bstrVal);
        }
        events.push_back(event);
        return S_OK;
    }

    std::vector<bool> sites;   // each SetSite: true for a site, false for null
    std::vector<Event> events;

private:
    ~RecordingHelper() override = default;
    plat::ComPtr<IWebBrowser2> m_browser;
    plat::ComPtr<IConnectionPoint> m_point;
    DWORD m_cookie{0};
};

const char* const address = "http://www.youtube.com/watch?v=x";

TEST(PageHost, HelpersHearDocumentCompleteUntilTheBrowserGoes)
{
    plat::browser::PageHost host;
    ASSERT_EQ(host.load("<p>page</p>", address), S_OK);
    auto helper = plat::ComPtr<RecordingHelper>::adopt(new RecordingHelper());
    ASSERT_EQ(host.attach(plat::ComPtr<IObjectWithSite>(helper.get())), S_OK);
    host.complete();
    host.complete();
    ASSERT_EQ(helper->events.size(), 2u);
    EXPECT_EQ(helper->events[0].id, DISPID_DOCUMENTCOMPLETE);
    EXPECT_EQ(helper->events[0].arguments, 2u);
    EXPECT_TRUE(helper->events[0].frame_is_browser);
    EXPECT_EQ(helper->events[0].url, address);

    host.close();
    EXPECT_EQ(helper->sites, (std::vector<bool>{true, false}));
    host.complete();
    EXPECT_EQ(helper->events.size(), 2u) << "nothing is raised once the helper unadvised";
}

TEST(PageHost, TheBrowserGivesItsAddressDocumentAndEventPoints)
{
    plat::browser::PageHost host;
    ASSERT_EQ(host.load("<p id=p>page</p>", address), S_OK);
    IWebBrowser2* browser = host.browser();
    plat::Bstr url;
    ASSERT_EQ(browser->get_LocationURL(url.out()), S_OK);
    EXPECT_EQ(url.utf8(), address);
    plat::ComPtr<IDispatch> document;
    ASSERT_EQ(browser->get_Document(document.put()), S_OK);
    plat::ComPtr<IHTMLElement> p;
    ASSERT_EQ(document.as<IHTMLDocument3>()->getElementById(plat::Bstr::from_utf8("p").get(), p.put()), S_OK);
    EXPECT_TRUE(p);

    auto container = plat::ComPtr<IUnknown>(browser).as<IConnectionPointContainer>();
    ASSERT_TRUE(container);
    plat::ComPtr<IConnectionPoint> point;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, point.put()), CONNECT_E_NOCONNECTION);
    ASSERT_EQ(container->FindConnectionPoint(DIID_DWebBrowserEvents, point.put()), S_OK);
    auto sink = plat::ComPtr<RecordingHelper>::adopt(new RecordingHelper());
    DWORD first = 0, second = 0;
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &first), S_OK);
    ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sink.get()), &second), S_OK);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    EXPECT_EQ(point->Unadvise(first), S_OK);
    EXPECT_EQ(point->Unadvise(first), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
}

TEST(PageHost, ClicksRunThePagesLinksAndKeepItsAlerts)
{
    plat::browser::PageHost host;
    ASSERT_EQ(host.load("<script>var n = 0;</script><div id=box><a href=\"javascript:alert('click ' + ++n)\">go</a>"
                        "</div><a id=web href='http://www.youtube.com/'>web</a>",
                        address),
              S_OK);
    EXPECT_EQ(host.click("#box a"), S_OK);
    EXPECT_EQ(host.click("#box a"), S_OK);
    EXPECT_EQ(host.click("#web"), S_OK);
    EXPECT_EQ(host.click("p.none"), E_INVALIDARG);
    EXPECT_EQ(host.alerts(), (std::vector<std::string>{"click 1", "click 2"}));
    EXPECT_NE(host.markup().find("<div id=\"box\">"), std::string::npos);
    std::string deep;
    for (int i = 0; i < 600; ++i)
        deep += "<div>";
    EXPECT_EQ(host.load(deep, address), E_INVALIDARG);
    EXPECT_NE(host.markup().find("<div id=\"box\">"), std::string::npos) << "a refused page leaves the shown one";
}

}
