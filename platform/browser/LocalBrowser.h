#pragma once
// The browser object a page host gives its helpers as their site: the page's
// address and document, and the events it raises through connection points.
// Used on the host's thread only.

#include "platform/browser/BrowserInterfaces.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlDocument.h"
#include "platform/html/NamelessDispatch.h"

#include <map>
#include <string>
#include <vector>

namespace plat::browser {

// The sinks advised to one event interface of the browser.
class EventPoint final : public ComObject<IConnectionPoint> {
public:
    explicit EventPoint(const IID& events) : m_events(events) {}

    HRESULT Advise(IUnknown* sink, DWORD* cookie) noexcept override;
    HRESULT Unadvise(DWORD cookie) noexcept override;

    // The sinks at this moment, so one may unadvise while it is called.
    std::vector<ComPtr<IDispatch>> sinks() const;
    // Lets go of every sink: the page goes, and a sink left advised would
    // keep itself and the browser alive through each other.
    void clear() { m_sinks.clear(); }

private:
    ~EventPoint() override = default;

    IID m_events;
    std::map<DWORD, ComPtr<IDispatch>> m_sinks;
    DWORD m_last_cookie{0};
};

class LocalBrowser final : public html::NamelessDispatch<ComObject<IWebBrowser2, IConnectionPointContainer>> {
public:
    LocalBrowser();

    // The page now shown.
    void show(ComPtr<html::HtmlDocument> document, std::string url);
    const ComPtr<html::HtmlDocument>& document() const { return m_document; }
    // Raises DocumentComplete (259) with this browser and the page's address.
    void fire_document_complete();
    // Lets go of the page and of every sink.
    void close();

    HRESULT get_LocationURL(BSTR* url) noexcept override;
    HRESULT get_Document(IDispatch** document) noexcept override;
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) noexcept override;

private:
    ~LocalBrowser() override = default;

    std::string m_url;
    ComPtr<html::HtmlDocument> m_document;
    ComPtr<EventPoint> m_events;    // DWebBrowserEvents: nothing is raised on it
    ComPtr<EventPoint> m_events2;   // DWebBrowserEvents2
};

}
