#include "platform/browser/LocalBrowser.h"

#include "platform/automation/Variant.h"
#include "platform/base/Bstr.h"

#include <new>

namespace plat::browser {

HRESULT EventPoint::Advise(IUnknown* sink, DWORD* cookie) noexcept try {
    if (!sink || !cookie)
        return E_POINTER;
    *cookie = 0;
    // A sink serves the events on their own interface or on its IDispatch.
    ComPtr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(m_events, dispatch.put_void())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.put_void())))
        return CONNECT_E_CANNOTCONNECT;
    m_sinks.emplace(++m_last_cookie, std::move(dispatch));
    *cookie = m_last_cookie;
    return S_OK;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

HRESULT EventPoint::Unadvise(DWORD cookie) noexcept
{
    return m_sinks.erase(cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

std::vector<ComPtr<IDispatch>> EventPoint::sinks() const
{
    std::vector<ComPtr<IDispatch>> all;
    for (const auto& [cookie, sink] : m_sinks)
        all.push_back(sink);
    return all;
}

LocalBrowser::LocalBrowser()
    : m_events(ComPtr<EventPoint>::adopt(new EventPoint(DIID_DWebBrowserEvents))),
      m_events2(ComPtr<EventPoint>::adopt(new EventPoint(DIID_DWebBrowserEvents2)))
{
}

void LocalBrowser::show(ComPtr<html::HtmlDocument> document, std::string url)
{
    m_document = std::move(document);
    m_url = std::move(url);
}

void LocalBrowser::fire_document_complete()
{
    for (const auto& sink : m_events2->sinks()) {
        Variant address;
        address->vt = VT_BSTR;
        address->bstrVal = Bstr::from_utf8(m_url).detach();
        VARIANT arguments[2];
        VariantInit(&arguments[0]);
        VariantInit(&arguments[1]);
        // Last first, as Invoke receives them: the frame, then its address by reference.
        arguments[1].vt = VT_DISPATCH;
        arguments[1].pdispVal = static_cast<IWebBrowser2*>(this);
        arguments[0].vt = VT_BYREF | VT_VARIANT;
        arguments[0].pvarVal = address.get();
        DISPPARAMS params{arguments, nullptr, 2, 0};
        sink->Invoke(DISPID_DOCUMENTCOMPLETE, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                     nullptr, nullptr);
    }
}

void LocalBrowser::close()
{
    m_events->clear();
    m_events2->clear();
    if (m_document)
        m_document->close_scripts();
    m_document.reset();
}

HRESULT LocalBrowser::get_LocationURL(BSTR* url) noexcept
{
    if (!url)
        return E_POINTER;
    *url = Bstr::from_utf8(m_url).detach();
    return *url || m_url.empty() ? S_OK : E_OUTOFMEMORY;
}

HRESULT LocalBrowser::get_Document(IDispatch** document) noexcept
{
    if (!document)
        return E_POINTER;
    *document = m_document ? ComPtr<IDispatch>(static_cast<IHTMLDocument2*>(m_document.get())).detach() : nullptr;
    return S_OK;
}

HRESULT LocalBrowser::FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept
{
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (iid == DIID_DWebBrowserEvents)
        *point = ComPtr<IConnectionPoint>(m_events.get()).detach();
    else if (iid == DIID_DWebBrowserEvents2)
        *point = ComPtr<IConnectionPoint>(m_events2.get()).detach();
    return *point ? S_OK : CONNECT_E_NOCONNECTION;
}

}
