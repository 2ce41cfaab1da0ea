#include "browserext/CRSSFetcher.h"

#include "browserext/SubscriptionWriter.h"
#include "browserext/YoutubeHelper.h"
#include "platform/base/Bstr.h"
#include "platform/base/DebugLog.h"

#include <exception>

namespace {

// What a failed call tells the debug sink; the browser sees only the result.
void log_failure(const char* call, const std::exception& e)
{
    plat::debug_log(std::string("garvish: ") + call + " failed: " + e.what());
}

}

std::span<const plat::DispatchEntry<CRSSFetcher>> CRSSFetcher::dispatch_table()
{
    static const plat::DispatchEntry<CRSSFetcher> table[] = {
        plat::dispatch_method<&CRSSFetcher::Subscribe>(u"Subscribe", 1),
        plat::dispatch_method<&CRSSFetcher::UnSubscribe>(u"UnSubscribe", 2),
        plat::dispatch_method<&CRSSFetcher::GetWebBrowser>(u"GetWebBrowser", 3),
    };
    return table;
}

HRESULT CRSSFetcher::Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                            EXCEPINFO* info, UINT* arg_error) noexcept
{
    if (id != DISPID_DOCUMENTCOMPLETE)
        return DispatchImpl::Invoke(id, iid, lcid, flags, params, result, info, arg_error);
    try {
        on_document_complete();
    } catch (const std::exception& e) {
        log_failure("DocumentComplete", e);
    }
    return S_OK;
}

void CRSSFetcher::on_document_complete()
{
    // Every frame's document raises the event; the helper reads the top-level
    // page each time, and what it inserted keeps it from inserting twice.
    if (const std::unique_ptr<YoutubeHelper> helper = CreatePageHelper(this))
        helper->Inject();
}

HRESULT CRSSFetcher::advise(REFIID events, DWORD& cookie)
{
    plat::ComPtr<IConnectionPointContainer> container;
    plat::ComPtr<IConnectionPoint> point;
    if (!m_browser)
        return E_FAIL;
    HRESULT hr = m_browser->QueryInterface(IID_IConnectionPointContainer, container.put_void());
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(events, point.put());
    if (SUCCEEDED(hr))
        hr = point->Advise(static_cast<IRSSFetcher*>(this), &cookie);
    return hr;
}

HRESULT CRSSFetcher::unadvise(REFIID events, DWORD& cookie)
{
    plat::ComPtr<IConnectionPointContainer> container;
    plat::ComPtr<IConnectionPoint> point;
    HRESULT hr = m_browser->QueryInterface(IID_IConnectionPointContainer, container.put_void());
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(events, point.put());
    if (SUCCEEDED(hr))
        hr = point->Unadvise(cookie);
    cookie = 0;
    return hr;
}

HRESULT CRSSFetcher::unadvise_both()
{
    const HRESULT first = unadvise(DIID_DWebBrowserEvents, m_cookies[0]);
    const HRESULT second = unadvise(DIID_DWebBrowserEvents2, m_cookies[1]);
    return FAILED(first) ? first : second;
}

HRESULT CRSSFetcher::SetSite(IUnknown* site) noexcept
try {
    if (!site) {
        m_site.reset();
        return m_browser ? unadvise_both() : E_FAIL;
    }
    // A browser given before would go on raising its events into this object.
    if (m_browser && (m_cookies[0] || m_cookies[1]))
        unadvise_both();
    m_site = plat::ComPtr<IUnknown>(site);
    plat::ComPtr<IWebBrowser2> browser;
    site->QueryInterface(IID_IWebBrowser2, browser.put_void());
    m_browser = browser;
    HRESULT hr = advise(DIID_DWebBrowserEvents, m_cookies[0]);
    if (SUCCEEDED(hr))
        hr = advise(DIID_DWebBrowserEvents2, m_cookies[1]);
    return hr;
} catch (const std::exception& e) {
    log_failure("SetSite", e);
    return E_FAIL;
}

HRESULT CRSSFetcher::GetSite(REFIID iid, void** site) noexcept
{
    if (!site)
        return E_POINTER;
    *site = nullptr;
    return m_site ? m_site->QueryInterface(iid, site) : E_FAIL;
}

HRESULT CRSSFetcher::GetWebBrowser(IWebBrowser2** ppWebBrowser) noexcept
{
    if (!ppWebBrowser)
        return E_POINTER;
    *ppWebBrowser = plat::ComPtr<IWebBrowser2>(m_browser).detach();
    return *ppWebBrowser ? S_OK : E_FAIL;
}

HRESULT CRSSFetcher::Subscribe(BSTR bstrText, VARIANT_BOOL* varRet) noexcept
try {
    if (!varRet)
        return E_POINTER;
    const std::unique_ptr<YoutubeHelper> helper = CreatePageHelper(this);
    std::int64_t folder = 0;
    if (!helper || FAILED(helper->GetFolderId(&folder)))
        return E_FAIL;
    browserext::SubscriptionWriter writer(*helper->database());
    const bool written =
        writer.subscribe(helper->GetFeedUrl(plat::bstr_to_utf8(bstrText)), folder, helper->GetTitle());
    *varRet = written ? VARIANT_TRUE : VARIANT_FALSE;
    if (written)
        helper->SetSubscribedState(false);
    return S_OK;
} catch (const std::exception& e) {
    log_failure("Subscribe", e);
    return E_FAIL;
}

HRESULT CRSSFetcher::UnSubscribe(BSTR bstrText, VARIANT_BOOL* varRet) noexcept
try {
    if (!varRet)
        return E_POINTER;
    const std::unique_ptr<YoutubeHelper> helper = CreatePageHelper(this);
    if (!helper || !helper->database())
        return E_FAIL;
    browserext::SubscriptionWriter writer(*helper->database());
    const bool removed = writer.unsubscribe(helper->GetFeedUrl(plat::bstr_to_utf8(bstrText)));
    *varRet = removed ? VARIANT_TRUE : VARIANT_FALSE;
    if (removed)
        helper->SetSubscribedState(true);
    return S_OK;
} catch (const std::exception& e) {
    log_failure("UnSubscribe", e);
    return E_FAIL;
}
