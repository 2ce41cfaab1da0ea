#pragma once
// The browser helper object's dual interface, which the page's script calls
// back through, and its class.

#include "platform/automation/Variant.h"
#include "platform/browser/BrowserInterfaces.h"

inline constexpr CLSID CLSID_RSSFetcher = plat::make_guid("{2ABAE895-CBD6-48B2-81F7-3C4809978A32}");
inline constexpr IID IID_IRSSFetcher = plat::make_guid("{AC2995C8-D1D9-4029-8BC5-DAE3260B234F}");

struct IRSSFetcher : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IRSSFetcher;
    // Dispatch id 1. bstrText: the page owner's name on a watch page, the
    // page's feed link otherwise.
    virtual HRESULT Subscribe(BSTR bstrText, VARIANT_BOOL* varRet) = 0;
    // Dispatch id 2.
    virtual HRESULT UnSubscribe(BSTR bstrText, VARIANT_BOOL* varRet) = 0;
    // Dispatch id 3. E_FAIL, with null, before a browser was given.
    virtual HRESULT GetWebBrowser(IWebBrowser2** ppWebBrowser) = 0;

protected:
    ~IRSSFetcher() = default;
};
