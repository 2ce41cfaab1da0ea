#pragma once
// What a browser offers the helper objects it loads, with the Windows IIDs:
// the helper's site (IObjectWithSite), the browser (IWebBrowser2: its address
// and document), and its events through connection points
// (DWebBrowserEvents and DWebBrowserEvents2, raised on the sink's IDispatch).
// Only the members the system calls are declared.

#include "platform/automation/Dispatch.h"

#include <string_view>

inline constexpr IID IID_IObjectWithSite = plat::make_guid("{FC4801A3-2BA9-11CF-A229-00AA003D7352}");
inline constexpr IID IID_IWebBrowser2 = plat::make_guid("{D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}");
inline constexpr IID IID_IConnectionPointContainer = plat::make_guid("{B196B284-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID IID_IConnectionPoint = plat::make_guid("{B196B286-BAB4-101A-B69C-00AA00341D07}");
inline constexpr IID DIID_DWebBrowserEvents = plat::make_guid("{EAB22AC2-30C1-11CF-A7EB-0000C05BAE0B}");
inline constexpr IID DIID_DWebBrowserEvents2 = plat::make_guid("{34A715A0-6587-11D0-924A-0020AFC7AC4D}");

// DWebBrowserEvents2's DocumentComplete (the frame's IDispatch, the address as
// a VARIANT*), raised once for every document of every frame that completes.
inline constexpr DISPID DISPID_DOCUMENTCOMPLETE = 259;

struct IObjectWithSite : IUnknown {
    static constexpr const IID& iid = IID_IObjectWithSite;
    // A null site tells the helper that its browser goes away.
    virtual HRESULT SetSite(IUnknown* site) = 0;
    virtual HRESULT GetSite(REFIID iid, void** site) = 0;

protected:
    ~IObjectWithSite() = default;
};

struct IWebBrowser2 : IDispatch {
    using base = IDispatch;
    static constexpr const IID& iid = IID_IWebBrowser2;
    virtual HRESULT get_LocationURL(BSTR* url) = 0;
    // The current document (an HTML document's IDispatch); null before one loaded.
    virtual HRESULT get_Document(IDispatch** document) = 0;

protected:
    ~IWebBrowser2() = default;
};

struct IConnectionPoint : IUnknown {
    static constexpr const IID& iid = IID_IConnectionPoint;
    // The sink is queried for the point's interface, else IDispatch; the
    // cookie, never 0, undoes the advice.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    // CONNECT_E_NOCONNECTION for a cookie this point did not give or already took back.
    virtual HRESULT Unadvise(DWORD cookie) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr const IID& iid = IID_IConnectionPointContainer;
    // CONNECT_E_NOCONNECTION for an interface the object raises no events on.
    virtual HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

inline constexpr HRESULT CONNECT_E_NOCONNECTION = hresult(0x80040200);
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = hresult(0x80040202);

// HKEY_LOCAL_MACHINE: one subkey per browser helper object's class id, which a
// browser creates for each of its windows.
inline constexpr std::u16string_view browser_helpers_key =
    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Browser Helper Objects";
