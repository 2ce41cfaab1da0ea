#pragma once
// The browser helper object: given its browser through SetSite, it hears the
// browser's events on its own IDispatch and has each completed page of the
// video site carry a subscribe link; the page's script calls Subscribe and
// UnSubscribe on the same IDispatch. Called on the browser window's thread only.

#include "browserext/IRSSFetcher.h"
#include "platform/automation/DispatchTable.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"

class CRSSFetcher final : public plat::ComObject<plat::DispatchImpl<IRSSFetcher, CRSSFetcher>, IObjectWithSite> {
public:
    static std::span<const plat::DispatchEntry<CRSSFetcher>> dispatch_table();

    // DocumentComplete (259) is served here; every other id by the table.
    HRESULT Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* info, UINT* arg_error) noexcept override;

    HRESULT SetSite(IUnknown* site) noexcept override;
    HRESULT GetSite(REFIID iid, void** site) noexcept override;

    HRESULT Subscribe(BSTR bstrText, VARIANT_BOOL* varRet) noexcept override;
    HRESULT UnSubscribe(BSTR bstrText, VARIANT_BOOL* varRet) noexcept override;
    HRESULT GetWebBrowser(IWebBrowser2** ppWebBrowser) noexcept override;

private:
    ~CRSSFetcher() override = default;
    HRESULT advise(REFIID events, DWORD& cookie);
    HRESULT unadvise(REFIID events, DWORD& cookie);
    HRESULT unadvise_both();
    void on_document_complete();

    plat::ComPtr<IUnknown> m_site;
    plat::ComPtr<IWebBrowser2> m_browser;   // held until the object goes, as the page helpers ask for it
    DWORD m_cookies[2]{};                   // DWebBrowserEvents, DWebBrowserEvents2; 0: not advised
};
