#pragma once
// A browser without a window: it shows one local page under a given address,
// runs its scripts, gives the browser helper objects their site, raises
// DocumentComplete, clicks elements, keeps the page's alerts and writes the
// page out. Used on one thread.

#include "platform/browser/BrowserInterfaces.h"
#include "platform/com/ComPtr.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::browser {

class LocalBrowser;

class PageHost {
public:
    PageHost();
    ~PageHost();
    PageHost(const PageHost&) = delete;
    PageHost& operator=(const PageHost&) = delete;

    // Shows the markup as the page at url; its inline scripts run, and the
    // alerts start afresh. E_INVALIDARG when the document refuses the markup.
    HRESULT load(std::string_view html, std::string url);
    // Gives the helper this browser as its site and keeps it until close.
    HRESULT attach(ComPtr<IObjectWithSite> helper);
    // Raises DocumentComplete for the page, as a browser does once it loaded.
    void complete();
    // Clicks the first element the selector matches ("#id a", "a.class");
    // E_INVALIDARG when none does.
    HRESULT click(std::string_view selector);
    // The shown page's alerts so far, oldest first.
    const std::vector<std::string>& alerts() const { return m_alerts; }
    // The page as markup.
    std::string markup() const;
    IWebBrowser2* browser() const;
    // Tells each helper that the browser goes (SetSite with null), then lets
    // go of them and of the page. Also run when the host goes.
    void close();

private:
    ComPtr<LocalBrowser> m_browser;
    std::vector<ComPtr<IObjectWithSite>> m_helpers;
    std::vector<std::string> m_alerts;
};

// The browser helper objects registered under HKEY_LOCAL_MACHINE's list:
// created by class id, or, given a module, each listed class that module
// serves, from it. A class that cannot be made is named in the debug sink.
std::vector<ComPtr<IObjectWithSite>> create_browser_helpers(const std::optional<std::string>& module);

}
