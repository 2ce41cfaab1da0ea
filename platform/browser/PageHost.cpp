#include "platform/browser/PageHost.h"

#include "platform/base/Bstr.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/browser/LocalBrowser.h"
#include "platform/com/Com.h"
#include "platform/com/ModuleTable.h"
#include "platform/registry/RegistryStore.h"

namespace plat::browser {

namespace {

using GetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);

std::vector<CLSID> registered_helpers()
{
    std::vector<std::u16string> names;
    RegistryStore::open_default(Hive::LocalMachine).subkey_names(browser_helpers_key, names);
    std::vector<CLSID> classes;
    for (const auto& name : names)
        if (auto clsid = parse_guid(utf16_to_utf8(name)))
            classes.push_back(*clsid);
    return classes;
}

HRESULT create_from_module(const LoadedModule& module, const CLSID& clsid, IObjectWithSite** helper)
{
    auto get_class_object = reinterpret_cast<GetClassObject>(module.symbol("DllGetClassObject"));
    if (!get_class_object)
        return CO_E_ERRORINDLL;
    ComPtr<IClassFactory> factory;
    HRESULT hr = get_class_object(clsid, IID_IClassFactory, factory.put_void());
    return SUCCEEDED(hr) ? factory->CreateInstance(nullptr, IID_IObjectWithSite, reinterpret_cast<void**>(helper))
                         : hr;
}

}

PageHost::PageHost() : m_browser(ComPtr<LocalBrowser>::adopt(new LocalBrowser())) {}

PageHost::~PageHost() { close(); }

HRESULT PageHost::load(std::string_view html, std::string url)
{
    auto document = ComPtr<html::HtmlDocument>::adopt(new html::HtmlDocument());
    document->set_url(url);
    std::vector<std::string> earlier;
    earlier.swap(m_alerts);
    document->enable_scripts([this](const std::string& message) { m_alerts.push_back(message); });
    SAFEARRAY* texts = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    if (!texts)
        return E_OUTOFMEMORY;
    VARIANT* elements = nullptr;
    SafeArrayAccessData(texts, reinterpret_cast<void**>(&elements));
    VariantInit(&elements[0]);
    elements[0].vt = VT_BSTR;
    elements[0].bstrVal = Bstr::from_utf8(html).detach();
    SafeArrayUnaccessData(texts);
    const HRESULT hr = document->write(texts);
    SafeArrayDestroy(texts);
    if (FAILED(hr)) {
        document->close_scripts();
        m_alerts.swap(earlier);
        return hr;
    }
    if (const auto& shown = m_browser->document())
        shown->close_scripts();
    m_browser->show(std::move(document), std::move(url));
    return S_OK;
}

HRESULT PageHost::attach(ComPtr<IObjectWithSite> helper)
{
    const HRESULT hr = helper->SetSite(static_cast<IWebBrowser2*>(m_browser.get()));
    m_helpers.push_back(std::move(helper));
    return hr;
}

void PageHost::complete()
{
    m_browser->fire_document_complete();
}

HRESULT PageHost::click(std::string_view selector)
{
    const auto& document = m_browser->document();
    const ComPtr<IHTMLElement> element = document ? document->first_element_matching(selector) : nullptr;
    return element ? element->click() : E_INVALIDARG;
}

std::string PageHost::markup() const
{
    const auto& document = m_browser->document();
    return document ? document->markup() : std::string();
}

IWebBrowser2* PageHost::browser() const
{
    return m_browser.get();
}

void PageHost::close()
{
    for (const auto& helper : m_helpers)
        helper->SetSite(nullptr);
    m_helpers.clear();
    m_browser->close();
}

std::vector<ComPtr<IObjectWithSite>> create_browser_helpers(const std::optional<std::string>& module)
{
    const LoadedModule* loaded = nullptr;
    if (module && FAILED(load_server_module(*module, &loaded)))
        return {};
    std::vector<ComPtr<IObjectWithSite>> helpers;
    for (const CLSID& clsid : registered_helpers()) {
        ComPtr<IObjectWithSite> helper;
        const HRESULT hr = loaded ? create_from_module(*loaded, clsid, helper.put())
                                  : CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IObjectWithSite,
                                                     helper.put_void());
        if (SUCCEEDED(hr) && helper)
            helpers.push_back(std::move(helper));
        else if (!loaded || hr != CLASS_E_CLASSNOTAVAILABLE)
            debug_log("page host: browser helper " + format_guid(clsid) + " not made: " + hresult_message(hr));
    }
    return helpers;
}

}
